// The brand check, an extension of the comprehensive judgment (option
// brand_check of ZVRXExt.ini): phishing names a bank, shop, carrier or
// office in the From display name or in a bracketed Subject ("【楽天カード】")
// and sends from, and links to, domains that are not the brand's. The
// delivered table "ZVRXBrand.txt" lists each brand's names, the dictionaries
// whose score it raises, and the brand's own domains; a message that names a
// brand and is not wholly on the brand's domains gets the table's score
// added to that dictionary's score. A real notice (From and every link on
// the brand's domains) and a brand named only in the body get nothing.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "checker/analysis/data_problem.h"
#include "checker/analysis/mail_record.h"
#include "shared/brand_table_format.h"
#include "shared/dictionary_format.h"

namespace zvrx {

struct DictionarySet;


struct Brand {
  std::vector<std::string> names;    // folded CP932 (FoldBrandText)
  std::vector<std::string> kinds;    // dictionary file names ("11jp_phish")
  std::vector<std::string> domains;  // lower-case ASCII; a domain owns its subdomains
};

struct BrandTable {
  bool present = false;
  int32_t score = 0;
  std::vector<Brand> brands;
  // Domains every kind of sender links to (markup schemas, social sites):
  // a link there says nothing about who sent the message.
  std::vector<std::string> shared_domains;
};

// Parses the delivered table (CP932, CR LF or LF lines):
//   ZVRXBrand<TAB>1<TAB>SCORE
//   NAME,NAME,...<TAB>KIND,KIND,...<TAB>DOMAIN,DOMAIN,...   (domains may be empty)
//   *<TAB>*<TAB>DOMAIN,DOMAIN,...                           (the shared domains)
// False (table left absent, the reason in `why`) when any line is not so.
bool ParseBrandTable(std::string_view bytes, BrandTable& table, std::string* why = nullptr);

// Reads "ZVRXBrand.txt" from the data folder. A damaged file leaves the
// table absent and is noted in `problems`; a missing one only leaves it absent.
void LoadBrandTable(BrandTable& table, std::vector<DataProblem>& problems);

// The form in which names are compared: full-width letters, digits and the
// common ASCII symbols become half-width, ASCII letters lower case,
// half-width katakana full width. Double-byte characters stay whole.
std::string FoldBrandText(std::string_view cp932);

// True when `domain` is `owner` or one of its subdomains.
bool DomainWithin(std::string_view domain, std::string_view owner);

// The domain of the From value's address, lower case ("" without one).
std::string SenderDomain(std::string_view from);
// The display name of the From value: the text before "<", or a comment in
// parentheses after a bare address ("" without one).
std::string DisplayName(std::string_view from);
// The texts of the Subject inside 【】, ［］, [], 〔〕, 《》 or ≪≫.
struct BracketedText {
  std::string text;
  // In ASCII brackets, as mailing lists tag their posts ("[apple-dev]"):
  // such a text names a brand only when it is nothing but the name.
  bool ascii = false;
  bool operator==(const BracketedText&) const = default;
};
std::vector<BracketedText> BracketedTexts(std::string_view subject);
// The host of every link in the body: http://, https://, hxxp://, hxxps://
// and bare "www." forms; user names and ports are dropped, lower case.
std::vector<std::string> LinkDomains(std::string_view body);

// What the check found for one message.
struct BrandFinding {
  int brand = -1;           // the brand whose longest name is found; -1 for none
  bool sender_own = false;  // the From domain is the brand's
  int links = 0;            // links in the body
  int foreign_links = 0;    // links outside the brand's domains
  bool scored = false;      // the score was added
};

// Adds the table's score to `extra` (by dictionary load order, the
// dictionaries of `language` that a named brand lists) for a message that
// names a brand and is not the brand's own: its From domain is not the
// brand's, unless it has links and every one is; or its From domain is, and
// a link leads elsewhere. Links to shared domains are left out of both.
// Each dictionary gets the score at most once.
BrandFinding AddBrandScores(const BrandTable& table, const DictionarySet& set,
                            const MailRecord& record, const char* body, int32_t language,
                            int64_t (&extra)[kMaxDictionaries]);

}  // namespace zvrx
