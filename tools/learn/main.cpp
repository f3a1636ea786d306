// zvrx_learn: builds the learned judgment's model from the training rows of
// the labelled corpus, reading every message exactly as a check reads it
// (the same parse, the same analysis text), and chooses its numbers by
// cross-validation on those rows alone.
//
//   zvrx_learn train CORPUS PARAMETERS OUT
//       CORPUS the folder of labels.tsv; PARAMETERS the chosen numbers
//       (data/learned.conf); OUT the model.
//   zvrx_learn cv CORPUS [SCORES_OUT]
//       k-fold figures for a grid of numbers, and the parameters the rules
//       below choose.
//
// Both with ZVRX_PREFIX naming an installation with the delivered data and
// ISO-8859-1 switched on (as the corpus report reads mail): the separator
// learns from the mail the dictionaries leave to it (below).
//
// The check rows are never read: a row whose set is not "train" is skipped
// before its file is opened.
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <unordered_map>
#include <vector>

#include "checker/analysis/analysis_state.h"
#include "checker/analysis/judgment.h"
#include "checker/analysis/learned_judgment.h"
#include "checker/analysis/parse_top.h"
#include "checker/core/message_file.h"
#include "shared/record_files.h"
#include "shared/records.h"
#include "tools/learn/linear_separator.h"

namespace zvrx {
namespace {

constexpr int kFolds = 5;

struct Parameters {
  int min_count = 2;      // messages (a message and its UTF-8 twin count once)
  int smoothing = 50;     // hundredths of a message added to each count
  uint32_t top_n = 0;     // 0: every known token
  double margin_c = 1;           // the separator's loss against its weights' size
  uint32_t margin_weight = 0;    // 0: no separator
  int32_t thresholds[2][3] = {};  // Japanese, English; strictness -1, 0, 1
  int32_t veto = kLearnedNoVeto;
};

struct Message {
  std::string file;
  std::string group;  // the name without "utf8/": a message and its twin
  bool spam = false;
  bool analysed = false;
  int language = 0;  // the class the judgment read it in: 0 Japanese, 1 English
  std::vector<uint64_t> tokens;
  bool dictionaries_delete[3] = {};  // by strictness -1, 0, 1 (train: 0 only)
};

std::string ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream out;
  out << in.rdbuf();
  return out.str();
}

std::vector<Message> ReadTrainingRows(const std::string& corpus) {
  std::vector<Message> messages;
  std::ifstream in(corpus + "/labels.tsv");
  std::string line;
  std::getline(in, line);  // column names
  while (std::getline(in, line)) {
    if (line.empty()) continue;
    std::vector<std::string> fields;
    std::istringstream split(line);
    for (std::string field; std::getline(split, field, '\t');) fields.push_back(field);
    if (fields.size() < 5 || fields[4] != "train") continue;
    Message m;
    m.file = fields[0];
    m.group = m.file.rfind("utf8/", 0) == 0 ? m.file.substr(5) : m.file;
    m.spam = fields[1] == "spam";
    messages.push_back(std::move(m));
  }
  return messages;
}

// Judges every message at the comprehensive level with the learned layer
// off and keeps the tokens of its analysis text and the dictionaries'
// verdict at the standard strictness, and with `all_levels` at the other
// two as well (the cross-validation measures all three; a model needs the
// standard one only).
void ReadMessages(const std::string& corpus, AnalysisState& state, std::vector<Message>& messages,
                  bool all_levels) {
  ShiftJisConverter converter;
  BodyBuffer body;
  state.modern_mail = true;  // as a new installation reads mail
  state.learned_judgment = false;
  state.quoted_warnings = true;  // on in a new installation
  state.brand_check = true;      // on in a new installation (without a table it adds nothing)
  for (Message& m : messages) {
    const std::string raw = ReadFile(corpus + "/" + m.file);
    for (int s = all_levels ? -1 : 0; s <= (all_levels ? 1 : 0); ++s) {
      MessageFileToTopText(raw, body);
      MailRecord record{};
      ParseTop(body.data(), body.text_length, record, converter, state.modern_mail,
               state.european);
      state.duplicates = DuplicateMemory{};
      state.scoring.strictness = static_cast<int16_t>(s);
      JudgmentResult result;
      JudgeMail(state, kLevelComprehensive, record, body.data(), body.text_length,
                JudgmentEffects{}, &result);
      m.dictionaries_delete[s + 1] = result.verdict == kVerdictDelete;
      if (s == 0) {
        m.analysed = result.analysed;
        m.language = result.language_class == kClassJapanese ? 0 : 1;
        if (m.analysed) {
          LearnedTokens(state.scoring.buffer.bytes.get(), record, result.language_class,
                        DictionaryEvidence(state.scoring, result.details, result.language_class),
                        m.tokens);
        }
      }
    }
  }
}

struct Counts {
  int spam = 0;
  int ham = 0;
};
using CountTable = std::unordered_map<uint64_t, Counts>;

// Per group, the union of its messages' tokens: a twin says nothing new.
std::map<std::string, std::vector<uint64_t>> GroupTokens(const std::vector<Message>& messages) {
  std::map<std::string, std::vector<uint64_t>> groups;
  for (const Message& m : messages) {
    if (!m.analysed) continue;
    std::vector<uint64_t>& g = groups[m.group];
    g.insert(g.end(), m.tokens.begin(), m.tokens.end());
  }
  for (auto& [name, tokens] : groups) {
    std::sort(tokens.begin(), tokens.end());
    tokens.erase(std::unique(tokens.begin(), tokens.end()), tokens.end());
  }
  return groups;
}

int16_t Weight(const Counts& c, int spam_total, int ham_total, int smoothing) {
  const double a = smoothing / 100.0;
  const double p_spam = (c.spam + a) / (spam_total + 2 * a);
  const double p_ham = (c.ham + a) / (ham_total + 2 * a);
  const double w = std::round(100.0 * std::log(p_spam / p_ham));
  return static_cast<int16_t>(std::clamp(w, -32767.0, 32767.0));
}

uint32_t FoldOf(const std::string& group) {
  uint32_t h = 2166136261u;
  for (char c : group) h = (h ^ static_cast<uint8_t>(c)) * 16777619u;
  return h % kFolds;
}

// The training rows by group (a message and its UTF-8 twin): their tokens,
// label and fold, and whether the dictionaries delete the group's unwanted
// mail at standard (both messages).
struct Split {
  std::map<std::string, std::vector<uint64_t>> groups;
  std::map<std::string, bool> spam;
  std::map<std::string, int> fold;
  std::map<std::string, bool> caught;
};

Split MakeSplit(const std::vector<Message>& messages) {
  Split split;
  split.groups = GroupTokens(messages);
  for (const Message& m : messages) {
    split.spam[m.group] = m.spam;
    split.fold[m.group] = static_cast<int>(FoldOf(m.group));
    const bool caught = m.spam && m.dictionaries_delete[1];
    auto [at, fresh] = split.caught.emplace(m.group, caught);
    if (!fresh) at->second = at->second && caught;
  }
  return split;
}

// The model of the given groups (all of them when `fold` < 0, else every
// group outside that fold).
LearnedModel Build(const Split& split, int fold, const Parameters& p) {
  CountTable counts;
  int spam_total = 0;
  int ham_total = 0;
  for (const auto& [name, tokens] : split.groups) {
    if (fold >= 0 && split.fold.at(name) == fold) continue;
    const bool spam = split.spam.at(name);
    (spam ? spam_total : ham_total) += 1;
    for (uint64_t t : tokens) (spam ? counts[t].spam : counts[t].ham) += 1;
  }
  // Per token its weight and its margin weight, in the order of the hashes.
  std::map<uint64_t, std::pair<int16_t, int16_t>> table;
  for (const auto& [token, c] : counts) {
    if (c.spam + c.ham < p.min_count) continue;
    const int16_t w = Weight(c, spam_total, ham_total, p.smoothing);
    if (w != 0) table[token].first = w;
  }
  LearnedModel model;
  if (p.margin_weight != 0) {
    // The separator learns where the layer decides: mail the dictionaries
    // keep. Unwanted mail they delete at standard (a message and its twin
    // both) would draw the boundary towards the loud spam they already
    // catch, away from the quiet spam they leave to it; legitimate mail
    // all counts, as the veto judges what they delete. The counts learn
    // from every row: a word's rate in spam is the rate in all of it.
    std::vector<SeparatorRow> rows;
    for (const auto& [name, tokens] : split.groups) {
      if (fold >= 0 && split.fold.at(name) == fold) continue;
      if (split.caught.at(name)) continue;
      rows.push_back({&tokens, split.spam.at(name)});
    }
    const Separator separator = LearnSeparator(rows, p.margin_c);
    model.margin_bias = static_cast<int32_t>(std::lround(1000 * separator.bias));
    model.margin_weight = p.margin_weight;
    for (const auto& [token, w] : separator.weights) {
      const double thousandths = std::clamp(std::round(1000 * w), -32767.0, 32767.0);
      if (thousandths != 0) table[token].second = static_cast<int16_t>(thousandths);
    }
  }
  model.unwanted_learned = static_cast<uint32_t>(spam_total);
  model.legitimate_learned = static_cast<uint32_t>(ham_total);
  std::copy(&p.thresholds[0][0], &p.thresholds[0][0] + 6, &model.thresholds[0][0]);
  model.veto = p.veto;
  model.top_n = p.top_n;
  for (const auto& [token, w] : table) {
    model.hashes.push_back(token);
    model.weights.push_back(w.first);
    model.margin_weights.push_back(w.second);
  }
  IndexLearnedModel(model);
  model.loaded = true;
  return model;
}


bool ReadParameters(const std::string& path, Parameters& p) {
  std::ifstream in(path);
  if (!in) return false;
  std::string line;
  while (std::getline(in, line)) {
    if (line.empty() || line[0] == '#') continue;
    std::istringstream fields(line);
    std::string key;
    fields >> key;
    if (key == "min_count:") fields >> p.min_count;
    else if (key == "smoothing:") fields >> p.smoothing;
    else if (key == "top_n:") fields >> p.top_n;
    else if (key == "margin_c:") fields >> p.margin_c;
    else if (key == "margin_weight:") fields >> p.margin_weight;
    else if (key == "thresholds_ja:") fields >> p.thresholds[0][0] >> p.thresholds[0][1] >> p.thresholds[0][2];
    else if (key == "thresholds_en:") fields >> p.thresholds[1][0] >> p.thresholds[1][1] >> p.thresholds[1][2];
    else if (key == "veto:") {
      std::string v;
      fields >> v;
      p.veto = v == "none" ? kLearnedNoVeto : std::stoi(v);
    } else {
      std::fprintf(stderr, "zvrx_learn: %s: unknown line: %s\n", path.c_str(), line.c_str());
      return false;
    }
    if (fields.fail()) {
      std::fprintf(stderr, "zvrx_learn: %s: bad line: %s\n", path.c_str(), line.c_str());
      return false;
    }
  }
  return true;
}

// The installation of ZVRX_PREFIX, with its dictionaries: false (and a
// line on standard error) when it has none.
bool LoadInstallation(AnalysisState& state) {
  BasicSettings basic{};
  LoadBasicSettings(basic);
  JudgmentSettings judgment{};
  const bool have = LoadJudgmentSettings(judgment);
  LoadAnalysisState(state, have ? &judgment : nullptr);
  if (state.scoring.dictionaries.count == 0) {
    std::fprintf(stderr, "zvrx_learn: no dictionaries in ZVRX_PREFIX\n");
    return false;
  }
  return true;
}

int Train(const std::string& corpus, const std::string& parameters, const std::string& out) {
  Parameters p;
  if (!ReadParameters(parameters, p)) {
    std::fprintf(stderr, "zvrx_learn: cannot read %s\n", parameters.c_str());
    return 1;
  }
  AnalysisState state;
  if (!LoadInstallation(state)) return 1;
  std::vector<Message> messages = ReadTrainingRows(corpus);
  if (messages.empty()) {
    std::fprintf(stderr, "zvrx_learn: no training rows in %s/labels.tsv\n", corpus.c_str());
    return 1;
  }
  ReadMessages(corpus, state, messages, false);
  const Split split = MakeSplit(messages);
  const LearnedModel model = Build(split, -1, p);
  const std::vector<uint8_t> bytes = SerializeLearnedModel(model);
  const std::string temp = out + ".tmp";
  {
    std::ofstream file(temp, std::ios::binary | std::ios::trunc);
    file.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    if (!file) {
      std::fprintf(stderr, "zvrx_learn: cannot write %s\n", temp.c_str());
      return 1;
    }
  }
  if (std::rename(temp.c_str(), out.c_str()) != 0) {
    std::fprintf(stderr, "zvrx_learn: cannot write %s\n", out.c_str());
    return 1;
  }
  std::printf("zvrx_learn: %zu tokens from %u unwanted and %u legitimate messages\n",
              model.hashes.size(), model.unwanted_learned, model.legitimate_learned);
  return 0;
}

// Each fold's model: learned on every group outside the fold.
std::vector<LearnedModel> FoldModels(const Split& split, const Parameters& p) {
  std::vector<LearnedModel> models;
  for (int fold = 0; fold < kFolds; ++fold) {
    models.push_back(Build(split, fold, p));
  }
  return models;
}

// Out-of-fold scores of every analysed message: each by its fold's model.
std::vector<int64_t> Score(const std::vector<Message>& messages, const Split& split,
                           const std::vector<LearnedModel>& models) {
  std::vector<int64_t> scores(messages.size(), 0);
  for (size_t i = 0; i < messages.size(); ++i) {
    if (!messages[i].analysed) continue;
    scores[i] = LearnedScore(models[split.fold.at(messages[i].group)], messages[i].tokens);
  }
  return scores;
}

std::vector<int64_t> OutOfFold(const std::vector<Message>& messages, const Split& split,
                               const Parameters& p) {
  return Score(messages, split, FoldModels(split, p));
}

struct Figures {
  int spam = 0, ham = 0, spam_caught = 0, ham_deleted = 0;
};

// Dictionaries first; the layer deletes what they keep above the
// threshold, and overrules a dictionary verdict below the veto.
// With `alone` the layer is measured without the dictionaries: on these
// rows they were tuned, so only the layer's own out-of-fold figures tell
// how it does on mail it has not seen. `level` 0, 1, 2 is strictness -1,
// 0, 1.
Figures Measure(const std::vector<Message>& messages, const std::vector<int64_t>& scores,
                int level, const Parameters& p, bool alone) {
  Figures f;
  for (size_t i = 0; i < messages.size(); ++i) {
    const Message& m = messages[i];
    bool deleted = !alone && m.dictionaries_delete[level];
    if (m.analysed) {
      if (deleted && p.veto != kLearnedNoVeto && scores[i] < p.veto) deleted = false;
      if (!deleted && scores[i] > p.thresholds[m.language][level]) deleted = true;
    }
    (m.spam ? f.spam : f.ham) += 1;
    if (deleted) (m.spam ? f.spam_caught : f.ham_deleted) += 1;
  }
  return f;
}

// The rules that turn out-of-fold scores into thresholds, for each
// language apart: standard deletes no legitimate training message out of
// fold, with a margin of one unit of log-odds; lenient keeps a further
// margin of four; strict stops at the highest legitimate message but one
// (the single outlier it may cost is what "strict" means; a twin is the
// same message).
// Whatever the training mail says, a message is deleted only on evidence:
// a text whose words the model does not know scores nothing but the
// separator's bias (a fraction of a unit) and must stay, and so must one
// with a little evidence either way. Odds of about 55 to 1
// (lenient), 20 to 1 (standard) and 7 to 1 (strict) at the least.
constexpr int64_t kFloor[3] = {400, 300, 200};

// What keeping one legitimate message the dictionaries would delete is
// worth in unwanted messages the veto lets through: lost mail is the worse
// error.
constexpr int kVetoLegitimateWorth = 10;

void ChooseThresholds(const std::vector<Message>& messages, const std::vector<int64_t>& scores,
                      Parameters& p) {
  for (int language = 0; language < 2; ++language) {
    std::map<std::string, int64_t> by_group;
    for (size_t i = 0; i < messages.size(); ++i) {
      const Message& m = messages[i];
      if (!m.analysed || m.spam || m.language != language) continue;
      auto [at, fresh] = by_group.emplace(m.group, scores[i]);
      if (!fresh) at->second = std::max(at->second, scores[i]);
    }
    std::vector<int64_t> ham;
    for (const auto& [group, score] : by_group) ham.push_back(score);
    std::sort(ham.rbegin(), ham.rend());
    const int64_t top = ham.empty() ? 0 : ham[0];
    const int64_t second = ham.size() > 1 ? ham[1] : top;
    p.thresholds[language][1] = static_cast<int32_t>(std::max<int64_t>(top + 100, kFloor[1]));
    p.thresholds[language][0] = static_cast<int32_t>(std::max<int64_t>(top + 500, kFloor[0]));
    p.thresholds[language][2] =
        static_cast<int32_t>(std::max<int64_t>(std::min(second, top) + 100, kFloor[2]));
  }
}

// The veto: of the candidates, the one whose out-of-fold gain among the
// dictionaries' verdicts at standard is highest, a legitimate message kept
// counting kVetoLegitimateWorth unwanted messages lost (on a tie, the lower
// veto, which overrules less).
// Prints each candidate's figures.
int32_t ChooseVeto(const std::vector<Message>& messages, const std::vector<int64_t>& scores) {
  int32_t chosen = kLearnedNoVeto;
  int64_t best_gain = 0;
  for (int64_t veto : {-16000, -12000, -10000, -8000, -6000, -5000, -4000, -3000, -2000, -1000}) {
    int lost = 0;
    int saved = 0;
    for (size_t i = 0; i < messages.size(); ++i) {
      const Message& m = messages[i];
      if (!m.analysed || !m.dictionaries_delete[1] || scores[i] >= veto) continue;
      (m.spam ? lost : saved) += 1;
    }
    std::printf("  %6lld %4d %4d\n", static_cast<long long>(veto), lost, saved);
    const int64_t gain = int64_t{saved} * kVetoLegitimateWorth - lost;
    if (gain > best_gain) {
      best_gain = gain;
      chosen = static_cast<int32_t>(veto);
    }
  }
  return chosen;
}

int CrossValidate(const std::string& corpus, const std::string& scores_out) {
  AnalysisState state;
  if (!LoadInstallation(state)) return 1;
  std::vector<Message> messages = ReadTrainingRows(corpus);
  ReadMessages(corpus, state, messages, true);
  const Split split = MakeSplit(messages);

  Parameters never;
  for (auto& row : never.thresholds) std::fill(row, row + 3, INT32_MAX);
  Figures base = Measure(messages, std::vector<int64_t>(messages.size(), 0), 1, never, false);
  std::printf("training rows: %d unwanted, %d legitimate; dictionaries alone at strictness 0: "
              "%d unwanted deleted, %d legitimate deleted\n",
              base.spam, base.ham, base.spam_caught, base.ham_deleted);
  // The separator's part of every message's out-of-fold score, for each
  // of its loss weights and weights in the score: it does not depend on
  // the counts' numbers, so it is learned once per fold and loss weight.
  constexpr double kMarginCs[] = {0.3, 1.0, 3.0, 10.0, 30.0};
  constexpr uint32_t kMarginWeights[] = {0, 1000, 2000, 3000, 5000, 7000, 10000, 15000};
  std::vector<std::vector<std::vector<int64_t>>> margins;  // [c][weight][message]
  for (double c : kMarginCs) {
    Parameters q;
    q.margin_c = c;
    q.margin_weight = 1;
    std::vector<LearnedModel> models = FoldModels(split, q);
    for (LearnedModel& model : models) model.margin_weight = 0;
    const std::vector<int64_t> without = Score(messages, split, models);
    margins.emplace_back();
    for (uint32_t weight : kMarginWeights) {
      for (LearnedModel& model : models) model.margin_weight = weight;
      std::vector<int64_t> part = Score(messages, split, models);
      for (size_t i = 0; i < part.size(); ++i) part[i] -= without[i];
      margins.back().push_back(std::move(part));
    }
  }
  std::printf("%-5s %-6s %-4s %-5s %-6s %17s %17s  %s\n", "min", "smooth", "N", "C", "weight",
              "ja T-1/T0/T1", "en T-1/T0/T1",
              "the layer alone at standard: unwanted, legitimate deleted (out of fold), and "
              "unwanted deleted at the three levels together; per counts the separator's best");
  // Every candidate of the counts with every one of the separator, chosen
  // together: the best separator for one set of counts need not be the
  // best for another.
  Parameters best;
  int best_caught = -1;
  for (int min_count : {1, 2, 3, 5}) {
    for (int smoothing : {10, 25, 50, 100}) {
      for (uint32_t top_n : {0u, 15u, 30u, 60u, 120u}) {
        Parameters p;
        p.min_count = min_count;
        p.smoothing = smoothing;
        p.top_n = top_n;
        const std::vector<int64_t> counts = OutOfFold(messages, split, p);
        Parameters row_best;
        Figures row_figures;
        int row_caught = -1;
        for (size_t c = 0; c < std::size(kMarginCs); ++c) {
          for (size_t w = 0; w < std::size(kMarginWeights); ++w) {
            if (w == 0 && c > 0) continue;  // the counts alone, once
            Parameters q = p;
            q.margin_c = kMarginCs[c];
            q.margin_weight = kMarginWeights[w];
            std::vector<int64_t> scores = counts;
            for (size_t i = 0; i < scores.size(); ++i) scores[i] += margins[c][w][i];
            ChooseThresholds(messages, scores, q);
            const Figures f = Measure(messages, scores, 1, q, true);
            // Over the three levels together: the standard threshold rests on
            // the one highest legitimate message, strict on the next, so the
            // sum flips less between close candidates than one level would.
            const int caught = Measure(messages, scores, 0, q, true).spam_caught + f.spam_caught +
                               Measure(messages, scores, 2, q, true).spam_caught;
            if (caught > row_caught) {
              row_caught = caught;
              row_best = q;
              row_figures = f;
            }
          }
        }
        const Parameters& q = row_best;
        std::printf("%-5d %-6d %-4u %-5g %-6u %5d/%5d/%5d %5d/%5d/%5d  %d/%d, %d/%d, %d\n",
                    min_count, smoothing, top_n, q.margin_c, q.margin_weight, q.thresholds[0][0],
                    q.thresholds[0][1], q.thresholds[0][2], q.thresholds[1][0],
                    q.thresholds[1][1], q.thresholds[1][2], row_figures.spam_caught,
                    row_figures.spam, row_figures.ham_deleted, row_figures.ham, row_caught);
        if (row_caught > best_caught) {
          best_caught = row_caught;
          best = row_best;
        }
      }
    }
  }
  const std::vector<int64_t> scores = OutOfFold(messages, split, best);
  {
    // The legitimate messages that set the thresholds, and where unwanted
    // mail lies: what another rule would cost or gain.
    std::vector<std::pair<int64_t, std::string>> ham[2];
    std::vector<int64_t> spam;
    for (size_t i = 0; i < messages.size(); ++i) {
      if (!messages[i].analysed) continue;
      if (messages[i].spam) {
        spam.push_back(scores[i]);
      } else {
        ham[messages[i].language].emplace_back(scores[i], messages[i].file);
      }
    }
    std::sort(spam.begin(), spam.end());
    for (int language = 0; language < 2; ++language) {
      std::sort(ham[language].rbegin(), ham[language].rend());
      std::printf("highest legitimate out-of-fold scores (%s):", language == 0 ? "ja" : "en");
      for (size_t k = 0; k < ham[language].size() && k < 8; ++k) {
        std::printf(" %lld (%s)", static_cast<long long>(ham[language][k].first),
                    ham[language][k].second.c_str());
      }
      std::printf("\n");
    }
    std::printf("unwanted out-of-fold scores by tenths:");
    for (int k = 0; k <= 10 && !spam.empty(); ++k) {
      std::printf(" %lld", static_cast<long long>(spam[std::min(spam.size() - 1, spam.size() * k / 10)]));
    }
    std::printf("\n");
  }
  if (!scores_out.empty()) {
    // One row per training message: what a rule beside the layer (a veto,
    // a guard) would have met, message by message.
    std::ofstream out(scores_out);
    out << "file\tlabel\tlanguage\tdictionaries -1/0/1\tout-of-fold score\n";
    for (size_t i = 0; i < messages.size(); ++i) {
      const Message& m = messages[i];
      if (!m.analysed) continue;
      out << m.file << '\t' << (m.spam ? "spam" : "ham") << '\t' << (m.language == 0 ? "ja" : "en")
          << '\t' << m.dictionaries_delete[0] << m.dictionaries_delete[1]
          << m.dictionaries_delete[2] << '\t' << scores[i] << '\n';
    }
    if (!out.flush()) {
      std::fprintf(stderr, "zvrx_learn: cannot write %s\n", scores_out.c_str());
      return 1;
    }
  }
  // The veto: each candidate's cost in unwanted mail and its gain in
  // legitimate mail among the dictionaries' verdicts. The training rows hold
  // batches of writers the dictionaries were never tuned on, so the
  // dictionaries delete some of their hard legitimate mail and both sides of
  // the trade show out of fold.
  std::printf("veto candidates (standard): veto, unwanted lost, legitimate saved\n");
  best.veto = ChooseVeto(messages, scores);
  for (int level = 0; level < 3; ++level) {
    const Figures alone = Measure(messages, scores, level, best, true);
    const Figures f = Measure(messages, scores, level, best, false);
    std::printf("chosen, strictness %d: the layer alone %d/%d unwanted, %d/%d legitimate "
                "deleted; with the dictionaries %d/%d, %d/%d\n",
                level - 1, alone.spam_caught, alone.spam, alone.ham_deleted, alone.ham,
                f.spam_caught, f.spam, f.ham_deleted, f.ham);
  }
  std::printf("\n# chosen by zvrx_learn cv (scripts/learn-cv) on the training rows\n");
  std::printf("min_count: %d\nsmoothing: %d\ntop_n: %u\n", best.min_count, best.smoothing,
              best.top_n);
  std::printf("margin_c: %g\nmargin_weight: %u\n", best.margin_c, best.margin_weight);
  std::printf("thresholds_ja: %d %d %d\nthresholds_en: %d %d %d\n", best.thresholds[0][0],
              best.thresholds[0][1], best.thresholds[0][2], best.thresholds[1][0],
              best.thresholds[1][1], best.thresholds[1][2]);
  if (best.veto == kLearnedNoVeto) {
    std::printf("veto: none\n");
  } else {
    std::printf("veto: %d\n", best.veto);
  }
  return 0;
}

}  // namespace
}  // namespace zvrx

int main(int argc, char** argv) {
  const std::vector<std::string> args(argv + 1, argv + argc);
  if (args.size() == 4 && args[0] == "train") {
    return zvrx::Train(args[1], args[2], args[3]);
  }
  if ((args.size() == 2 || args.size() == 3) && args[0] == "cv") {
    return zvrx::CrossValidate(args[1], args.size() == 3 ? args[2] : std::string());
  }
  std::fprintf(stderr,
               "usage: zvrx_learn train CORPUS PARAMETERS OUT\n"
               "       zvrx_learn cv CORPUS [SCORES_OUT]\n"
               "(ZVRX_PREFIX: an installation with the delivered data)\n");
  return 2;
}
