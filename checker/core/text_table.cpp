#include "checker/core/text_table.h"

#include <utility>

#include "checker/analysis/judgment.h"
#include "platform/cp932.h"
#include "shared/european_files.h"
#include "shared/list_files.h"
#include "shared/locations.h"
#include "shared/work_log_format.h"

namespace zvrx {

namespace {

// Written in UTF-8 here, stored and shown as CP932.
constexpr const char* kFatalTexts[] = {
    "Mail Zevrox\nTCP/IP を利用できる状態になっていません。\nWinsock32.dl をインスト\n"
    "ールしてください。\n",
    "Mail Zevrox\nメモリ不足のため動作できません。仮想メモリなどの方法でメモリを確保して下さい。",
    "Mail Zevrox\n正しくインストールされていません。\nインストール後は必ずリスタートして下さい。",
    "Mail Zevrox\n「ZVRX」フォルダが見つかりません。\n正しくインストールして下さい。\n",
    "Mail Zevrox\n基本設定が行われていません。\nインストール後には必ず基本設定を行ってください。\n",
};

constexpr const char* kCategories[] = {
    kCategoryAnonymous,     kCategoryRejected,      kCategoryNotAccepted,
    kCategoryDuplicate,     kCategoryUnclearFormat, kCategoryUnclearCharset,
};

}  // namespace

TextTable::TextTable(std::string install_root) : install_root_(std::move(install_root)) {}

std::string TextTable::Text(int group, int id) const {
  const std::string data_folder = install_root_ + kDataSubfolder;
  switch (group) {
    case kTextFatal:
      if (id >= 1 && id <= 5) return platform::Utf8ToCp932(kFatalTexts[id - 1]);
      break;
    case kTextReport:
      if (id == kReportNewMail) return platform::Utf8ToCp932("通のメールがサーバに届いています。");
      if (id == kReportNoNewMail) return platform::Utf8ToCp932("新しいメールは届いていません。");
      break;
    case kTextCategory:
      if (id >= 1 && id <= 6) return kCategories[id - 1];  // already CP932
      break;
    case kTextPaths:
      if (id == 0) return data_folder;
      if (id == 3) return data_folder + kAcceptanceListName;
      if (id == 4) return data_folder + kRejectionListName;
      if (id == 5) return data_folder + kWorkLogName;
      break;
    case kTextEuropean:
      if (id >= kEuropeanFirstPart && id <= kEuropeanLastPart) {
        char name[7];
        EuropeanFileName(id, name);
        return data_folder + name;
      }
      break;
    default:
      break;
  }
  return {};
}

}  // namespace zvrx
