#include "settings/message_table.h"

#include <map>
#include <utility>

#include "platform/cp932.h"

namespace zvrx {

namespace {

// The texts are kept in UTF-8 here and converted once, on first use.
const std::map<int, std::string>& Converted(const std::map<int, const char*>& utf8) {
  static std::map<const void*, std::map<int, std::string>> cache;
  auto [it, inserted] = cache.try_emplace(&utf8);
  if (inserted) {
    for (const auto& [number, text] : utf8) it->second[number] = platform::Utf8ToCp932(text);
  }
  return it->second;
}

const std::string& Lookup(const std::map<int, const char*>& utf8, int number) {
  static const std::string kEmpty;
  const auto& table = Converted(utf8);
  auto found = table.find(number);
  return found == table.end() ? kEmpty : found->second;
}

const std::map<int, const char*> kMessages = {
    {1, "手動でのみ検査"},
    {2, "起動時のみ検査"},
    {3, "１ ０ 分毎に検査"},
    {4, "２ ０ 分毎に検査"},
    {5, "３ ０ 分毎に検査"},
    {6, "１ 時間毎に検査"},
    {7, "２ 時間毎に検査"},
    {8, "受信拒否リストで判断"},
    {9, "メールを総合的に判断"},
    {10, "受信容認リストで判断"},
    {11, "解析せずに残す"},
    {12, "英文として解析する"},
    {13, "解析せずに削除する"},
    {14, "解析せずに残す"},
    {15, "テキストとして解析"},
    {16, "解析せずに削除する"},
    {17, "待機しています。"},
    {19, "停止しています。"},
    {130, "有効なアカウントが設定されていません。\n\n少なくとも１つは設定して下さい。\n"},
    {132, "ユーザが認証されませんでした。\n\n%uつ目のメールアカウントを確認して下さい。\n"},
    {133, "パスワードが認証されませんでした。\n\n%uつ目のパスワードを確認して下さい。\n"},
    {134, "メールサーバーにアクセスできませんでした。\n\n%uつ目のメールアドレスを確認して下さい。\n"},
    // The secure transport: nothing was sent, nothing deleted.
    {135,
     "メールサーバーの証明書を確認できませんでした。\n\n%uつ目のメールアドレスを確認して下さい。\n"
     "メールは削除していません。\n"},
    {136,
     "暗号化した接続ができませんでした。\n\n%uつ目の接続方式を確認して下さい。\n"
     "メールは削除していません。\n"},
    {137,
     "暗号化できないサーバーにはログインしません。\n\n%uつ目の接続方式を「暗号化なし」にすると\n"
     "暗号化せずに接続します。\n"},
    {200, "の変更を保存しますか？\n"},
    {210,
     "検査が完了しました。\n\n検査したメール数 ： %u\n削除したメール数 ： %u\n"
     "%u通の新しいメールが届いています。\nメールソフトを起動しますか？\n"},
    {220, "検査が完了しました。\n\n　検査の対象となる新しいメールは届いて\n　いませんでした。\n"},
    {221, "検査が完了しました。\n\n　検査したメール数 ： %u\n　削除したメール数 ： %u\n"},
    {222,
     "検査が完了しました。\n\n　検査したメール数 ： %u\n　削除したメール数 ： %u\n"
     "%u 通の新しいメールが届いています。\n"},
    {224,
     "メモリーの確保に失敗しました。\n\n他のアプリケーションを終了して、再度起動して下さい。\n"},
    {225,
     "登録しょうとする件数が多すぎます。\n\n容認リストや拒否リストに登録できるのは1500件まで\n"
     "ですので、1500件まで読み込みました。\n"},
};

const std::map<int, const char*> kStatus = {
    {2, "停止しています。"},
    {3, "待機しています。"},
    {4, "サーバーを検索中です。"},
    {5, "メールを確認しています。"},
    {6, "メールを検査しています。"},
};

const std::map<int, const char*> kErrors = {
    {4, "｢ZVRX」フォルダが見つかりません。\n\n正しくインストールして下さい。\n"},
    {5, "有効なアカウントが設定されていません。\n\n少なくとも一つは設定して下さい。\n"},
};

// The sixth name of the same table, "言語リスト", belongs to no page.
const std::map<int, const char*> kPageNames = {
    {0, "基本設定"},       {1, "オプション設定"}, {2, "判定条件設定"},
    {3, "受信容認リスト"}, {4, "受信拒否リスト"},
};

}  // namespace

const std::string& MessageString(int number) { return Lookup(kMessages, number); }
const std::string& StatusText(int kind) { return Lookup(kStatus, kind); }
const std::string& ErrorText(int kind) { return Lookup(kErrors, kind); }
const std::string& PageNameBasic() { return Lookup(kPageNames, 0); }
const std::string& PageNameOptions() { return Lookup(kPageNames, 1); }
const std::string& PageNameJudgment() { return Lookup(kPageNames, 2); }
const std::string& PageNameAcceptanceList() { return Lookup(kPageNames, 3); }
const std::string& PageNameRejectionList() { return Lookup(kPageNames, 4); }

}  // namespace zvrx
