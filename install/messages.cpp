#include "install/messages.h"

#include <map>

#include "platform/cp932.h"

namespace zvrx {

namespace {

// Kept in UTF-8 here, converted once.
const std::map<int, const char*> kMessagesUtf8 = {
    {9, "Mail Zevrox　のインストールが完了しました。\n\n基本設定ウインドウに、有効なメールアカウントと\n\nパスワードをタイプして下さい。\n"},
    {11, "Mail Zevrox のインストールに必要な、メインデイスクに\n２メガバイトの容量がありません。\nメインデイスクに、十分な容量を確保してください。\n\n"},
    {12, "Mail Zevrox を削除して良いのですね。\n"},
    {13, "\n\nMail Zevrox  はすでにインストールされています。"},
    {14, "\n\nMail Zevrox  をインストールするには\n\n｢Install｣ボタンを押して下さい。\n"},
    {15, "\n\nMail Zevrox  をインストールしています。\n"},
    {16, "\n\n\nMali Zevrox  を削除しています。"},
    {17, "\n\nMail Zevrox  の削除が完了しました。\n"},
    {901, "\n\nMail Zevrox  をインストールできませんでした。\n次のプログラムを書き込めません。\n"},
};

}  // namespace

const std::string& InstallerMessage(int id) {
  static const std::map<int, std::string> converted = [] {
    std::map<int, std::string> table;
    for (const auto& [number, text] : kMessagesUtf8) table[number] = platform::Utf8ToCp932(text);
    return table;
  }();
  static const std::string kEmpty;
  auto found = converted.find(id);
  return found == converted.end() ? kEmpty : found->second;
}

}  // namespace zvrx
