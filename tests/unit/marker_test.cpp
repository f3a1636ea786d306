// The last-seen marker: file names from account strings, the three ways a
// message is recognised, and when the file is (not) rewritten.
#include "checker/analysis/marker.h"

#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <string>

#include "tests/support/temp_prefix.h"

namespace zvrx {
namespace {

struct Fields {
  const char* uidl;
  const char* message_id;
  const char* from;
  const char* date;
  const char* subject;
};

MailRecord Record(const Fields& f) {
  MailRecord record = {};
  std::strncpy(record.uidl, f.uidl, kMailFieldSize - 1);
  std::strncpy(record.message_id, f.message_id, kMailFieldSize - 1);
  std::strncpy(record.from, f.from, kMailFieldSize - 1);
  std::strncpy(record.date, f.date, kMailFieldSize - 1);
  std::strncpy(record.subject, f.subject, kMailFieldSize - 1);
  return record;
}

std::string MarkerBytes(const Fields& f) {
  MarkerRecord marker = {};
  std::strncpy(marker.uidl, f.uidl, kMarkerSlotSize - 1);
  std::strncpy(marker.message_id, f.message_id, kMarkerSlotSize - 1);
  std::strncpy(marker.from, f.from, kMarkerSlotSize - 1);
  std::strncpy(marker.date, f.date, kMarkerSlotSize - 1);
  std::strncpy(marker.subject, f.subject, kMarkerSlotSize - 1);
  return std::string(reinterpret_cast<const char*>(&marker), sizeof marker);
}

constexpr char kAccount[] = "taro@example.jp";

class MarkerTest : public ::testing::Test {
 protected:
  std::string MarkerHost(const std::string& name = kAccount) const {
    return prefix_.DataFolderHost() + "/" + name;
  }
  // One walk over messages newest first; kept[i] says whether message i is
  // kept. Returns how many were examined before a seen one ended the walk.
  int Walk(const std::vector<Fields>& messages, const std::vector<bool>& kept,
           const char* account = kAccount) {
    MarkerWalk walk;
    BeginMarkerWalk(walk, account);
    int examined = 0;
    for (size_t i = 0; i < messages.size(); ++i) {
      if (IsAlreadySeen(walk, Record(messages[i]))) break;
      ++examined;
      if (kept[i]) MarkKept(walk);
    }
    EndMarkerWalk(walk);
    return examined;
  }

  test::TempPrefix prefix_;
};

TEST(MarkerFileNameTest, EscapesWhatANameCannotHold) {
  struct Case {
    std::string account;
    std::string name;
  } cases[] = {
      {"taro@example.jp", "taro@example.jp"},
      {"taro@127.0.0.1:11110", "taro@127.0.0.1%3A11110"},
      {"a/b\\c@h", "a%2Fb%5Cc@h"},
      {"*?\"<>|", "%2A%3F%22%3C%3E%7C"},
      {"50%3A@h", "50%253A@h"},  // '%' itself, so "50:" and "50%3A" stay apart
      {"tab\there", "tab%09here"},
      {"sp ace", "sp%20ace"},
      {"\x95\x5c@h", "%95%5C@h"},  // a CP932 pair whose trail byte is '\'
      {".", "%2E"},
      {"..", ".%2E"},
      {"host.", "host%2E"},
      {"", ""},
      {std::string("a\0b", 3), "a"},  // the field ends at its NUL
      {std::string(90, 'u'), std::string(kAccountTextMax, 'u')},
  };
  for (const auto& c : cases) EXPECT_EQ(MarkerFileName(c.account), c.name) << c.account;
}

TEST_F(MarkerTest, AccountWithColonAndSlashKeepsItsMarkerInTheDataFolder) {
  const char account[] = "ta/ro@127.0.0.1:11110";
  Fields newest = {"u2", "<2@x>", "a@x", "d2", "s2"};
  EXPECT_EQ(Walk({newest}, {true}, account), 1);
  std::string host = MarkerHost(MarkerFileName(account));
  EXPECT_EQ(test::ReadHostFile(host), MarkerBytes(newest));
  // The marker is the only thing written: no folders for the separators.
  int entries = 0;
  for (const auto& entry : std::filesystem::directory_iterator(prefix_.DataFolderHost())) {
    EXPECT_TRUE(entry.is_regular_file()) << entry.path();
    ++entries;
  }
  EXPECT_EQ(entries, 1);
  // The same account finds it again on the next walk.
  EXPECT_EQ(Walk({{"u3", "", "", "", ""}, newest, {"u1", "", "", "", ""}}, {true, true, true},
                 account),
            1);
}

// Which fields decide depends on what the marker holds; comparisons are
// exact and case-sensitive.
TEST_F(MarkerTest, RecognisesTheMarkedMessage) {
  struct Case {
    const char* why;
    Fields marker;
    Fields message;
    bool seen;
  } cases[] = {
      {"UIDL decides even when Message-Id changed", {"U1", "<a@x>", "f", "d", "s"},
       {"U1", "<other@x>", "g", "e", "t"}, true},
      {"UIDL differs, all else equal", {"U1", "<a@x>", "f", "d", "s"},
       {"U2", "<a@x>", "f", "d", "s"}, false},
      {"UIDL is case-sensitive", {"U1", "", "", "", ""}, {"u1", "", "", "", ""}, false},
      {"no UIDL: Message-Id decides", {"", "<a@x>", "f", "d", "s"},
       {"", "<a@x>", "g", "e", "t"}, true},
      {"no UIDL: Message-Id differs", {"", "<a@x>", "f", "d", "s"},
       {"", "<b@x>", "f", "d", "s"}, false},
      {"neither: Date, From and Subject decide", {"", "", "f", "d", "s"},
       {"", "", "f", "d", "s"}, true},
      {"neither: Subject differs", {"", "", "f", "d", "s"}, {"", "", "f", "d", "S"}, false},
      {"neither: Date differs", {"", "", "f", "d", "s"}, {"", "", "f", "e", "s"}, false},
      {"only an empty Subject marked", {"", "", "f", "d", ""}, {"", "", "f", "d", ""}, true},
  };
  for (const auto& c : cases) {
    test::WriteHostFile(MarkerHost(), MarkerBytes(c.marker));
    MarkerWalk walk;
    BeginMarkerWalk(walk, kAccount);
    EXPECT_EQ(IsAlreadySeen(walk, Record(c.message)), c.seen) << c.why;
    EndMarkerWalk(walk);
  }
}

// An empty marker identifies nothing: a message without any header of its
// own is examined like every other one instead of ending the walk.
TEST_F(MarkerTest, AllZeroMarkerSeesNothing) {
  Fields bare = {"", "", "", "", ""};
  for (bool with_zero_file : {false, true}) {
    if (with_zero_file) test::WriteHostFile(MarkerHost(), std::string(1275, '\0'));
    EXPECT_EQ(Walk({{"", "", "f", "d", "s"}, bare, {"", "", "g", "d", "s"}}, {false, false, false}),
              3);
  }
}

TEST_F(MarkerTest, NewMarkerIsTheNewestKeptMessage) {
  Fields m5 = {"u5", "<5@x>", "spam@x", "d5", "s5"};
  Fields m4 = {"u4", "<4@x>", "friend@x", "d4", "s4"};
  Fields m3 = {"u3", "<3@x>", "other@x", "d3", "s3"};
  EXPECT_EQ(Walk({m5, m4, m3}, {false, true, true}), 3);
  EXPECT_EQ(test::ReadHostFile(MarkerHost()), MarkerBytes(m4));
  // Next walk: new mail above the marker, then the marker ends it.
  Fields m6 = {"u6", "<6@x>", "new@x", "d6", "s6"};
  EXPECT_EQ(Walk({m6, m5, m4, m3}, {true, true, true, true}), 2);
  EXPECT_EQ(test::ReadHostFile(MarkerHost()), MarkerBytes(m6));
}

// A message the server would not delete must be judged again: the marker
// lands only on a kept message below it, or stays where it was. And a walk
// the check cycle does not let move the marker (cut short, or not
// committed by the server) leaves the file alone.
TEST_F(MarkerTest, RefusedDeletionAndUnfinishedWalkDoNotMoveTheMarker) {
  Fields m4 = {"u4", "", "", "", ""};
  Fields m3 = {"u3", "", "", "", ""};
  Fields m2 = {"u2", "", "", "", ""};
  Fields m1 = {"u1", "", "", "", ""};
  const std::string old_bytes = MarkerBytes({"u0", "", "", "", ""});
  struct Step {
    const Fields* message;
    enum { kKept, kDeleted, kRefused } fate;
  };
  struct Case {
    const char* why;
    std::vector<Step> walk;
    bool move_marker;
    std::string marker_after;
  } cases[] = {
      {"kept above a refusal: the marker goes below it",
       {{&m4, Step::kKept}, {&m3, Step::kRefused}, {&m2, Step::kKept}, {&m1, Step::kKept}}, true,
       MarkerBytes(m2)},
      {"nothing kept below the refusal: the marker stays",
       {{&m4, Step::kKept}, {&m3, Step::kDeleted}, {&m2, Step::kRefused}, {&m1, Step::kDeleted}},
       true, old_bytes},
      {"a walk that may not move the marker",
       {{&m4, Step::kKept}, {&m3, Step::kKept}}, false, old_bytes},
  };
  for (const Case& c : cases) {
    test::WriteHostFile(MarkerHost(), old_bytes);
    MarkerWalk walk;
    BeginMarkerWalk(walk, kAccount);
    for (const Step& step : c.walk) {
      ASSERT_FALSE(IsAlreadySeen(walk, Record(*step.message))) << c.why;
      if (step.fate == Step::kKept) MarkKept(walk);
      if (step.fate == Step::kRefused) HoldMarkerBelow(walk);
    }
    EndMarkerWalk(walk, c.move_marker);
    EXPECT_EQ(test::ReadHostFile(MarkerHost()), c.marker_after) << c.why;
  }
}

TEST_F(MarkerTest, NothingKeptLeavesTheFileAlone) {
  Fields m2 = {"u2", "", "", "", ""};
  Fields m1 = {"u1", "", "", "", ""};
  EXPECT_EQ(Walk({m2, m1}, {false, false}), 2);
  EXPECT_FALSE(std::filesystem::exists(MarkerHost()));

  std::string old_bytes = MarkerBytes({"u0", "", "", "", ""}) + std::string(25, '\0');
  test::WriteHostFile(MarkerHost(), old_bytes);
  EXPECT_EQ(Walk({m2, m1}, {false, false}), 2);
  EXPECT_EQ(test::ReadHostFile(MarkerHost()), old_bytes);
}

// Readers take the first 1275 bytes and treat missing ones as zero; a slot
// without a terminator must not be read past.
TEST_F(MarkerTest, ShortLongAndDamagedFiles) {
  struct Case {
    const char* why;
    std::string file;
    Fields message;
    bool seen;
  } cases[] = {
      {"short file: UIDL only", "u7", {"u7", "", "", "", ""}, true},
      {"longer file: trailing bytes ignored", MarkerBytes({"u7", "", "", "", ""}) + "garbage",
       {"u7", "", "", "", ""}, true},
      {"unterminated slots", std::string(1275, 'x'), {"u7", "", "", "", ""}, false},
  };
  for (const auto& c : cases) {
    test::WriteHostFile(MarkerHost(), c.file);
    MarkerWalk walk;
    BeginMarkerWalk(walk, kAccount);
    EXPECT_EQ(IsAlreadySeen(walk, Record(c.message)), c.seen) << c.why;
    EndMarkerWalk(walk);
  }
}

TEST_F(MarkerTest, FullLengthFieldsFitTheirSlots) {
  std::string longest(kMailFieldSize - 1, 'L');
  Fields big = {longest.c_str(), longest.c_str(), longest.c_str(), longest.c_str(),
                longest.c_str()};
  EXPECT_EQ(Walk({big}, {true}), 1);
  EXPECT_EQ(test::ReadHostFile(MarkerHost()), MarkerBytes(big));
  EXPECT_EQ(Walk({big}, {true}), 0);
}

}  // namespace
}  // namespace zvrx
