// The labelled corpus judged at the comprehensive level with the delivered
// data, as installed from the build's distribution folder, in two halves:
// the legacy half (ISO-2022-JP, Shift-JIS, EUC-JP, 7-bit, ISO-8859-1) and
// the UTF-8 half (today's mail: the UTF-8 twin of every legacy message, in
// Base64, quoted-printable or 8-bit, plain, HTML only or multipart, plus
// messages written in UTF-8), each message in the set of its source. The
// figures of all three strictness levels are printed for the training set
// and the check set (the messages never used to choose a word or a weight),
// with the scores of every message judged wrongly.
//
// At the standard strictness each half's training set must keep every
// legitimate message and lose at least 92% of its spam; each check set must not fall below what the delivered data reaches
// today: a floor against losing ground, not the goal, which is nine in ten
// and none. The legacy half is judged as a new installation does (today's
// mail read), and again with that option off, where the written judgment
// alone must reach the same.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "checker/analysis/analysis_state.h"
#include "checker/analysis/judgment.h"
#include "checker/analysis/parse_message.h"
#include "checker/analysis/parse_top.h"
#include "checker/core/message_file.h"
#include "platform/cp932.h"
#include "shared/records.h"
#include "tests/support/temp_prefix.h"

namespace zvrx {
namespace {

namespace fs = std::filesystem;

const std::string kCorpusFolder = ZVRX_SOURCE_DIR "/tests/corpus";

struct Labelled {
  std::string file;
  bool spam = false;
  std::string kind;
  std::string category;  // UTF-8, "-" for legitimate mail
  bool check_set = false;
  std::string encoding;  // legacy: jis, sjis, ...; UTF-8 half: utf-8/TRANSFER/STRUCTURE
  bool utf8_half = false;
  std::string raw;  // the file
};

std::vector<Labelled> ReadLabels(bool utf8_half) {
  std::vector<Labelled> labels;
  std::ifstream in(kCorpusFolder + "/labels.tsv");
  std::string line;
  std::getline(in, line);  // column names
  while (std::getline(in, line)) {
    if (line.empty()) continue;
    std::istringstream fields(line);
    Labelled entry;
    std::string label;
    std::string set;
    std::getline(fields, entry.file, '\t');
    std::getline(fields, label, '\t');
    std::getline(fields, entry.kind, '\t');
    std::getline(fields, entry.category, '\t');
    std::getline(fields, set, '\t');
    std::getline(fields, entry.encoding, '\t');
    entry.spam = label == "spam";
    entry.check_set = set == "check";
    entry.utf8_half = entry.encoding.rfind("utf-8/", 0) == 0;
    if (entry.utf8_half != utf8_half) continue;
    entry.raw = test::ReadHostFile(kCorpusFolder + "/" + entry.file);
    EXPECT_FALSE(entry.raw.empty()) << entry.file;
    labels.push_back(std::move(entry));
  }
  return labels;
}

struct Counts {
  int ham = 0;
  int ham_deleted = 0;
  int spam = 0;
  int spam_deleted = 0;

  void Add(bool spam_message, bool deleted) {
    (spam_message ? spam : ham) += 1;
    if (deleted) (spam_message ? spam_deleted : ham_deleted) += 1;
  }
  std::string Text() const {
    char line[128];
    std::snprintf(line, sizeof line, "spam deleted %d/%d (%.1f%%), legitimate deleted %d/%d",
                  spam_deleted, spam, spam ? 100.0 * spam_deleted / spam : 0.0, ham_deleted, ham);
    return line;
  }
};

struct Figures {
  Counts training_set;
  Counts check_set;
  // The UTF-8 half by transfer encoding and by structure (both sets).
  std::map<std::string, Counts> forms;
  std::string report;  // every message judged wrongly, with its scores
  std::map<std::string, bool> deleted;  // by file
};

std::string Scores(const AnalysisState& state, const JudgmentResult& result) {
  if (!result.analysed) return " (not analysed)";
  const ScoreDetails& d = result.details;
  std::string text = " class " + std::to_string(result.language_class) +
                     " L=" + std::to_string(d.length) + " S=" + std::to_string(d.subject_score) +
                     " R=" + std::to_string(d.recipient_score) +
                     " T=" + std::to_string(d.threshold) + ":";
  const auto& dictionaries = state.scoring.dictionaries.dictionaries;
  for (size_t j = 0; j < dictionaries.size() && j < kMaxDictionaries; ++j) {
    if (dictionaries[j].language() != result.language_class) continue;
    text += " " + dictionaries[j].file_name + "=" + std::to_string(d.scores[j]);
  }
  return text;
}

// "utf-8/base64/html/raw-header" -> "base64", "html".
std::vector<std::string> FormsOf(const std::string& encoding) {
  std::vector<std::string> parts;
  std::istringstream in(encoding);
  std::string part;
  while (std::getline(in, part, '/')) parts.push_back(part);
  if (parts.size() < 3) return {};
  return {"transfer " + parts[1], "structure " + parts[2]};
}

Figures JudgeCorpus(const std::vector<Labelled>& labels, int16_t strictness, bool modern,
                    bool learned = true, bool brands = true, bool warnings = true) {
  // A user who has Western European mail read as English (the first box
  // of the European-languages dialog) and otherwise the page's defaults.
  JudgmentSettings judgment{};
  judgment.strictness = strictness;
  judgment.european_charsets[1][0] = 1;
  AnalysisState state;
  LoadAnalysisState(state, &judgment);
  EXPECT_EQ(state.scoring.dictionaries.count, 15);
  state.modern_mail = modern;
  // The learned judgment is on in a new installation; its model is part of
  // the delivered data.
  state.learned_judgment = learned;
  if (learned) EXPECT_TRUE(state.learned.loaded) << "build the learned model (zvrx_data)";
  state.brand_check = brands;  // on in a new installation, like today's mail
  state.quoted_warnings = warnings;  // so is the guard for quoted warnings

  Figures figures;
  ShiftJisConverter converter;
  BodyBuffer body;
  for (const Labelled& entry : labels) {
    MessageFileToTopText(entry.raw, body);
    MailRecord record{};
    ParseTop(body.data(), body.text_length, record, converter, state.modern_mail, state.european);
    JudgmentResult result;
    JudgeMail(state, kLevelComprehensive, record, body.data(), body.text_length,
              JudgmentEffects{}, &result);
    const bool deleted = result.verdict == kVerdictDelete;
    const std::string category = platform::Cp932ToUtf8(result.category);
    (entry.check_set ? figures.check_set : figures.training_set).Add(entry.spam, deleted);
    figures.deleted[entry.file] = deleted;
    for (const std::string& form : FormsOf(entry.encoding)) {
      figures.forms[form].Add(entry.spam, deleted);
    }
    const bool wrong = entry.spam ? (!deleted || category != entry.category) : deleted;
    if (wrong) {
      figures.report += "  " + entry.file + (entry.check_set ? " (check set, " : " (") +
                        entry.kind + ", " + entry.encoding + "): " +
                        (deleted ? "deleted as " + category : "kept") + ", labelled " +
                        entry.category + Scores(state, result) + "\n";
    }
  }
  return figures;
}

void Print(const char* title, int16_t strictness, const Figures& f) {
  std::printf("%s, strictness %2d: training set: %s\n%*s check set: %s\n", title, strictness,
              f.training_set.Text().c_str(), static_cast<int>(std::strlen(title)) + 15, "",
              f.check_set.Text().c_str());
  for (const auto& [form, counts] : f.forms) {
    std::printf("    %-20s %s\n", form.c_str(), counts.Text().c_str());
  }
  std::printf("%s", f.report.c_str());
}

void PrintTime(std::chrono::steady_clock::time_point start) {
  const auto spent = std::chrono::steady_clock::now() - start;
  std::printf("judged in %lld ms\n", static_cast<long long>(
      std::chrono::duration_cast<std::chrono::milliseconds>(spent).count()));
}

TEST(CorpusTest, DeliveredDataAtTheComprehensiveLevel) {
  const auto start = std::chrono::steady_clock::now();
  std::vector<Labelled> labels = ReadLabels(false);
  ASSERT_GE(labels.size(), 1000u);

  test::TempPrefix prefix;
  ASSERT_TRUE(prefix.InstallDeliveredData()) << "build the delivered data first";

  for (int16_t strictness : {int16_t{-1}, int16_t{0}, int16_t{1}}) {
    Figures f = JudgeCorpus(labels, strictness, true);
    Print("legacy half", strictness, f);
    if (strictness == 0) {
      // As a new installation judges (the learned judgment, its model
      // learned from the training rows, the brand check and the guard for
      // quoted warnings on): today 2700 of 3488 check-set spam, and 4 of 2868
      // legitimate check-set messages deleted, held as floors.
      EXPECT_EQ(f.training_set.ham_deleted, 0);
      EXPECT_GE(f.training_set.spam_deleted * 100, f.training_set.spam * 92);
      EXPECT_LE(f.check_set.ham_deleted, 4);
      EXPECT_GE(f.check_set.spam_deleted * 100, f.check_set.spam * 77);
    }
  }
  // The dictionaries alone (the learned judgment off).
  Figures dictionaries = JudgeCorpus(labels, 0, true, false);
  Print("legacy half, learned judgment off", 0, dictionaries);
  // The training rows have grown by writers the dictionaries were not
  // written on: today 2298 of 5592 of their spam with 23 of their 4653
  // legitimate messages deleted, and 1158 of the check set's 3488 with 23 of
  // 2868.
  EXPECT_LE(dictionaries.training_set.ham_deleted, 23);
  EXPECT_GE(dictionaries.training_set.spam_deleted * 100, dictionaries.training_set.spam * 41);
  EXPECT_LE(dictionaries.check_set.ham_deleted, 23);
  EXPECT_GE(dictionaries.check_set.spam_deleted * 100, dictionaries.check_set.spam * 33);
  // Today's mail, the learned judgment, the brand check and the guard for
  // quoted warnings switched off: the written judgment alone. It deletes
  // the warnings and the passed-on mail that quote fraud mail (69 of the
  // training set's legitimate messages today; the guard keeps most).
  Figures f = JudgeCorpus(labels, 0, false, false, false, false);
  Print("legacy half, today's mail off", 0, f);
  EXPECT_LE(f.training_set.ham_deleted, 69);
  EXPECT_GE(f.training_set.spam_deleted * 100, f.training_set.spam * 38);
  EXPECT_LE(f.check_set.ham_deleted, 46);
  EXPECT_GE(f.check_set.spam_deleted * 100, f.check_set.spam * 31);
  PrintTime(start);
}

// The UTF-8 half: the same texts in today's clothing and the messages
// written in UTF-8, judged with today's mail read (the default). A twin
// must fare as its legacy source does: spam its source loses kept, or a
// legitimate message its source keeps deleted, points at the decoding of
// its form (the encoding column says which), whatever the totals say.
TEST(CorpusTest, TodaysMailAtTheComprehensiveLevel) {
  const auto start = std::chrono::steady_clock::now();
  std::vector<Labelled> labels = ReadLabels(true);
  ASSERT_GE(labels.size(), 1000u);

  test::TempPrefix prefix;
  ASSERT_TRUE(prefix.InstallDeliveredData()) << "build the delivered data first";

  for (int16_t strictness : {int16_t{-1}, int16_t{0}, int16_t{1}}) {
    Figures f = JudgeCorpus(labels, strictness, true);
    Print("UTF-8 half", strictness, f);
    if (strictness == 0) {
      EXPECT_EQ(f.training_set.ham_deleted, 0);
      EXPECT_GE(f.training_set.spam_deleted * 100, f.training_set.spam * 92);
      // Today's figures of the check set as a new installation judges
      // (2779 of 3503 spam; 5 of 2875 legitimate messages deleted), held as
      // a floor.
      EXPECT_LE(f.check_set.ham_deleted, 5);
      EXPECT_GE(f.check_set.spam_deleted * 100, f.check_set.spam * 79);

      const Figures legacy = JudgeCorpus(ReadLabels(false), strictness, true);
      std::string worse;
      int spam_worse = 0;
      int ham_worse = 0;
      for (const Labelled& entry : labels) {
        if (entry.file.rfind("utf8/u-", 0) == 0) continue;  // written in UTF-8: no source
        const auto source = legacy.deleted.find(entry.file.substr(5));
        ASSERT_NE(source, legacy.deleted.end()) << entry.file << " has no legacy source";
        if (f.deleted[entry.file] == source->second) continue;
        if (entry.spam == source->second) {
          (entry.spam ? spam_worse : ham_worse) += 1;
          worse += "  " + entry.file + " (" + entry.kind + ", " + entry.encoding + ")\n";
        }
      }
      std::printf("judged worse than their legacy source:\n%s", worse.c_str());
      // Today ten spam twins: their dictionary or learned scores fall
      // either side of the standard threshold in their two forms. Decoded
      // HTML and quoted-printable text is a little longer or shorter, so
      // the dictionaries' threshold for its length moves, and the learned
      // judgment's step for the dictionaries' score can differ with it
      // (ja-spam-vi15: 6140 against 6050 in Shift-JIS, 6072 against 6165
      // in UTF-8); an HTML form carries its sender's name above the text
      // and a copyright line below, words a short English letter's learned
      // score feels (en-spam-wh27: 2799 as written, 1539 in HTML, against
      // 1754). At most one legitimate twin deleted whose source is kept:
      // the learned judgment can overrule the dictionaries for one form and
      // not the other.
      EXPECT_LE(spam_worse, 10) << worse;
      EXPECT_LE(ham_worse, 1) << worse;
    }
  }
  PrintTime(start);
}

// The whole corpus, both halves and both sets, as a new installation
// judges it (standard strictness, the comprehensive level, today's mail and
// the learned judgment on). The aim is 95% of spam with no legitimate
// message deleted; today 87.5% (the check set, grown by writers in styles
// the rest had not seen, holds 78.4%), and the legitimate messages deleted
// are the check set's 9 of 5743 (none of the training set's). Both are
// held as floors; the check set's own figures are printed beside.
TEST(CorpusTest, WholeCorpusAtTheStandardStrictness) {
  std::vector<Labelled> labels = ReadLabels(false);
  std::vector<Labelled> utf8 = ReadLabels(true);
  labels.insert(labels.end(), std::make_move_iterator(utf8.begin()),
                std::make_move_iterator(utf8.end()));
  test::TempPrefix prefix;
  ASSERT_TRUE(prefix.InstallDeliveredData()) << "build the delivered data first";
  const Figures f = JudgeCorpus(labels, 0, true);
  Counts whole = f.training_set;
  whole.ham += f.check_set.ham;
  whole.ham_deleted += f.check_set.ham_deleted;
  whole.spam += f.check_set.spam;
  whole.spam_deleted += f.check_set.spam_deleted;
  std::printf("whole corpus, strictness 0: %s\n  check set: %s\n", whole.Text().c_str(),
              f.check_set.Text().c_str());
  EXPECT_GE(whole.spam_deleted * 1000, whole.spam * 874);
  EXPECT_EQ(f.training_set.ham_deleted, 0);
  EXPECT_LE(whole.ham_deleted, 9);
}

// The recipient score is added to every dictionary's score; an ordinary
// mail to a group (nine commas) must never be deleted for its
// recipients alone (eleven addresses in To and Cc), at any strictness, in
// either language.
TEST(CorpusTest, TenVisibleRecipientsAloneNeverDelete) {
  test::TempPrefix prefix;
  ASSERT_TRUE(prefix.InstallDeliveredData()) << "build the delivered data first";
  std::string to = "To: ";
  for (int i = 1; i <= 7; ++i) to += "member" + std::to_string(i) + "@example.jp, ";
  const std::string head = to + "a@example.jp\r\nCc: b@example.jp, c@example.jp, d@example.jp\r\n";
  const std::string mails[] = {
      head + "From: Team <team@example.jp>\r\nSubject: Friday\r\n"
             "Content-Type: text/plain; charset=us-ascii\r\n\r\nSee you on Friday at ten.\r\n",
      head + "From: team@example.jp\r\nSubject: " + platform::Utf8ToCp932("金曜日") +
          "\r\nContent-Type: text/plain; charset=Shift_JIS\r\n\r\n" +
          platform::Utf8ToCp932("金曜日の十時に会議室でお会いしましょう。") + "\r\n"};
  for (int16_t strictness : {int16_t{-1}, int16_t{0}, int16_t{1}}) {
    JudgmentSettings judgment{};
    judgment.strictness = strictness;
    AnalysisState state;
    LoadAnalysisState(state, &judgment);
    ShiftJisConverter converter;
    BodyBuffer body;
    for (const std::string& mail : mails) {
      MessageFileToTopText(mail, body);
      MailRecord record{};
      ParseMessage(body.data(), body.text_length, record, converter);
      ASSERT_EQ(record.extra_recipients, 9);
      JudgmentResult result;
      JudgeMail(state, kLevelComprehensive, record, body.data(), body.text_length,
                JudgmentEffects{}, &result);
      EXPECT_TRUE(result.analysed);
      EXPECT_EQ(result.verdict, kVerdictKeep) << "strictness " << strictness << Scores(state, result);
    }
  }
}

}  // namespace
}  // namespace zvrx
