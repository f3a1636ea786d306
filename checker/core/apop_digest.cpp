#include <openssl/evp.h>

#include "checker/core/pop3_client.h"

namespace zvrx {

bool ApopDigest(std::string_view greeting_text, std::string_view password, char digest[33]) {
  // Only the first '<' and the first '>' behind it count.
  size_t open = greeting_text.find('<');
  if (open == std::string_view::npos) return false;
  size_t close = greeting_text.find('>', open);
  if (close == std::string_view::npos) return false;
  // The whole stamp enters the digest, however long: the server digests all
  // of it, so a shortened copy could only be rejected.
  std::string_view stamp = greeting_text.substr(open, close - open + 1);

  unsigned char md[EVP_MAX_MD_SIZE];
  unsigned int md_length = 0;
  EVP_MD_CTX* context = EVP_MD_CTX_new();
  bool ok = context && EVP_DigestInit_ex(context, EVP_md5(), nullptr) == 1 &&
            EVP_DigestUpdate(context, stamp.data(), stamp.size()) == 1 &&
            EVP_DigestUpdate(context, password.data(), password.size()) == 1 &&
            EVP_DigestFinal_ex(context, md, &md_length) == 1 && md_length == 16;
  EVP_MD_CTX_free(context);
  if (!ok) return false;

  static constexpr char kHex[] = "0123456789abcdef";
  for (int i = 0; i < 16; ++i) {
    digest[2 * i] = kHex[md[i] >> 4];
    digest[2 * i + 1] = kHex[md[i] & 0x0f];
  }
  digest[32] = '\0';
  return true;
}

}  // namespace zvrx
