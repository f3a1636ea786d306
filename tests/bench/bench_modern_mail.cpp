// DecodeModernTop on tops of today's mail with 1 KB and 18 KB bodies:
// Japanese UTF-8 text in Base64, and an English HTML-only message in
// quoted-printable inside a multipart. One iteration is one message.
#include <benchmark/benchmark.h>

#include <string>

#include "checker/mime/modern_mail.h"

namespace {

std::string Base64(const std::string& bytes) {
  static const char kAlphabet[] =
      "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
  std::string out;
  size_t line = 0;
  for (size_t i = 0; i < bytes.size(); i += 3) {
    uint32_t group = static_cast<unsigned char>(bytes[i]) << 16;
    if (i + 1 < bytes.size()) group |= static_cast<unsigned char>(bytes[i + 1]) << 8;
    if (i + 2 < bytes.size()) group |= static_cast<unsigned char>(bytes[i + 2]);
    out.push_back(kAlphabet[(group >> 18) & 63]);
    out.push_back(kAlphabet[(group >> 12) & 63]);
    out.push_back(i + 1 < bytes.size() ? kAlphabet[(group >> 6) & 63] : '=');
    out.push_back(i + 2 < bytes.size() ? kAlphabet[group & 63] : '=');
    if ((line += 4) == 76) {
      out += "\r\n";
      line = 0;
    }
  }
  return out;
}

// Quoted-printable of UTF-8 HTML: every byte from 0x80 and '=' escaped,
// lines broken softly at 76.
std::string QuotedPrintable(const std::string& bytes) {
  static const char kHex[] = "0123456789ABCDEF";
  std::string out;
  size_t line = 0;
  for (char c : bytes) {
    const auto b = static_cast<unsigned char>(c);
    std::string piece = (b >= 0x80 || c == '=') ? std::string{'=', kHex[b >> 4], kHex[b & 15]}
                                                : std::string(1, c);
    if (line + piece.size() > 75) {
      out += "=\r\n";
      line = 0;
    }
    out += piece;
    line += piece.size();
  }
  return out;
}

const char kHeader[] =
    "Return-Path: <notice@secure-check.example>\r\n"
    "Received: from mx.secure-check.example (mx.secure-check.example [192.0.2.10])\r\n"
    "\tby mail.example.ne.jp with ESMTP id 4Zx9; Thu, 10 Dec 2026 09:12:44 +0900\r\n"
    "From: =?UTF-8?B?5qCq5byP5Lya56S+44K144Oz44OX44Or5ZWG5LqL?= <notice@secure-check.example>\r\n"
    "To: user@example.ne.jp\r\n"
    "Subject: =?UTF-8?B?44CQ6YeN6KaB44CR44Ki44Kr44Km44Oz44OI44GM?=\r\n"
    " =?UTF-8?B?5YGc5q2i44GV44KM44G+44GX44Gf?=\r\n"
    "Date: Thu, 10 Dec 2026 09:12:40 +0900\r\n"
    "Message-ID: <20261210091240.4Zx9@secure-check.example>\r\n"
    "MIME-Version: 1.0\r\n";

// Japanese text (with half-width katakana and digits to fold) to `size` bytes of Base64.
std::string JapaneseTop(size_t body_size) {
  const std::string line =
      "お客様のｱｶｳﾝﾄは24時間以内に停止されます。下記URLよりご確認ください。"
      "https://secure-check.example/login?id=7\r\n";
  std::string text;
  while (Base64(text).size() < body_size) text += line;
  std::string body = Base64(text).substr(0, body_size);
  return std::string(kHeader) +
         "Content-Type: text/plain; charset=UTF-8\r\nContent-Transfer-Encoding: base64\r\n\r\n" +
         body;
}

std::string EnglishHtmlTop(size_t body_size) {
  const std::string paragraph =
      "<p>Dear customer,<br>Your parcel could not be delivered &amp; is held at our depot. "
      "Pay the &pound;1.99 fee within 24 hours: <a href=\"https://parcel-fee.example/pay?id=7\">"
      "Pay now</a></p><!-- ref --><div style=\"color:#333\">Ｆｒｅｅ redelivery</div>\r\n";
  std::string html = "<html><head><style>p{margin:0}</style></head><body>";
  while (QuotedPrintable(html).size() < body_size) html += paragraph;
  const std::string body = QuotedPrintable(html).substr(0, body_size);
  return std::string(kHeader) +
         "Content-Type: multipart/alternative; boundary=\"=_a1\"\r\n\r\n--=_a1\r\n"
         "Content-Type: text/html; charset=utf-8\r\nContent-Transfer-Encoding: quoted-printable\r\n\r\n" +
         body;
}

void Run(benchmark::State& state, const std::string& top) {
  for (auto _ : state) {
    zvrx::mime::ModernMail mail = zvrx::mime::DecodeModernTop(top);
    benchmark::DoNotOptimize(mail);
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) *
                          static_cast<int64_t>(top.size()));
}

void BM_ModernJapaneseBase64_1K(benchmark::State& state) { Run(state, JapaneseTop(1024)); }
void BM_ModernJapaneseBase64_18K(benchmark::State& state) { Run(state, JapaneseTop(18 * 1024)); }
void BM_ModernEnglishHtmlQp_1K(benchmark::State& state) { Run(state, EnglishHtmlTop(1024)); }
void BM_ModernEnglishHtmlQp_18K(benchmark::State& state) { Run(state, EnglishHtmlTop(18 * 1024)); }
BENCHMARK(BM_ModernJapaneseBase64_1K);
BENCHMARK(BM_ModernJapaneseBase64_18K);
BENCHMARK(BM_ModernEnglishHtmlQp_1K);
BENCHMARK(BM_ModernEnglishHtmlQp_18K);

}  // namespace
