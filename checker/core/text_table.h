// The checker's fixed texts, looked up by group and id: the fatal messages,
// the report texts, the deletion categories and the paths of its files.
#pragma once

#include <string>

namespace zvrx {

inline constexpr int kTextFatal = 128;       // ids 1..5, see FatalError
inline constexpr int kTextReport = 129;      // ids 2 and 3
inline constexpr int kTextCategory = 130;    // ids 1..6
inline constexpr int kTextPaths = 200;       // ids 0, 3, 4, 5
inline constexpr int kTextEuropean = 500;    // ids 1..15

inline constexpr int kReportNewMail = 2;     // "<N>通のメールがサーバに届いています。"
inline constexpr int kReportNoNewMail = 3;   // "新しいメールは届いていません。"

class TextTable {
 public:
  // Path texts start from `install_root` ("C:\Program Files\ZVRX\").
  explicit TextTable(std::string install_root);

  // CP932 text; empty for an id the group does not hold.
  std::string Text(int group, int id) const;

 private:
  std::string install_root_;
};

}  // namespace zvrx
