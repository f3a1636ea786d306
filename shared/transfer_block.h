// The shared block "ZvrxTran" between the checker, which creates it, and the
// settings program, which opens it for every operation. There is no lock
// between the processes: block byte 0 (the low byte of the code) is the
// handshake byte both sides test, and fixed sleeps do the rest.
#pragma once

#include <cstddef>
#include <cstdint>

#include "shared/records.h"

namespace zvrx {

inline constexpr char kTransferBlockName[] = "ZvrxTran";

struct [[gnu::packed]] TransferHeader {
  int16_t code;
  int16_t p1;
  int16_t p2;  // low byte (block byte 4) marks an answer during a question
  int16_t p3;
  int16_t p4;
};
static_assert(sizeof(TransferHeader) == 10);
static_assert(offsetof(TransferHeader, code) == 0);
static_assert(offsetof(TransferHeader, p1) == 2);
static_assert(offsetof(TransferHeader, p2) == 4);
static_assert(offsetof(TransferHeader, p3) == 6);
static_assert(offsetof(TransferHeader, p4) == 8);

struct [[gnu::packed]] TransferBlock {
  TransferHeader header;
  BasicSettings basic;  // passwords in plain text
  NotifyOptions options;
  JudgmentSettings judgment;
  MailerSettings mailer;
  uint8_t checker_area[336];  // the checker's own; the settings side never touches it
};
static_assert(sizeof(TransferBlock) == 1556);
static_assert(offsetof(TransferBlock, header) == 0);
static_assert(offsetof(TransferBlock, basic) == 10);
static_assert(offsetof(TransferBlock, options) == 528);
static_assert(offsetof(TransferBlock, judgment) == 536);
static_assert(offsetof(TransferBlock, mailer) == 992);
static_assert(offsetof(TransferBlock, mailer.list_reload_flags) == 1216);
static_assert(offsetof(TransferBlock, checker_area) == 1220);

inline constexpr size_t kTransferBlockSize = sizeof(TransferBlock);
inline constexpr size_t kHandshakeByte = 0;
inline constexpr size_t kAnswerMarkByte = offsetof(TransferHeader, p2);
inline constexpr size_t kListReloadByte = offsetof(TransferBlock, mailer.list_reload_flags);
// Bytes 10..1219: the four records as the settings program writes them.
inline constexpr size_t kRecordsOffset = offsetof(TransferBlock, basic);
inline constexpr size_t kRecordsEnd = offsetof(TransferBlock, checker_area);

// Codes that drive the handshake.
inline constexpr int16_t TRAN_IDLE = 1;      // block free; acknowledges any other code
inline constexpr int16_t TRAN_SETTINGS = 2;  // fresh records; p1 = 1 check now
inline constexpr int16_t TRAN_ASK = 4;       // the checker waits for yes or no
inline constexpr int16_t TRAN_ANSWER = 5;    // p1 = 1 yes, 0 no; p2 = 1
// Messages from the checker for the settings program to show.
inline constexpr int16_t kTranStartupError = 128;    // p1 = 4: data folder cannot be entered
inline constexpr int16_t kTranNoBasicSettings = 129;  // "ZVmi128" missing; shown as nothing
inline constexpr int16_t kTranNoAccount = 130;       // account mask is 0
inline constexpr int16_t kTranUserRejected = 132;    // p1 = p4 = account
inline constexpr int16_t kTranPasswordRejected = 133;
inline constexpr int16_t kTranServerUnreachable = 134;
// The secure transport, beyond the written system (p1 = p4 = account):
inline constexpr int16_t kTranCertificateRefused = 135;  // certificate untrusted or for another host
inline constexpr int16_t kTranNoSecureConnection = 136;  // no TLS handshake, or STLS not offered
inline constexpr int16_t kTranPlainRefused = 137;        // auto will not log in without TLS
inline constexpr int16_t kTranManualNewMail = 210;   // p2 kept, p3 examined, p4 deleted; a question follows
inline constexpr int16_t kTranNothingToExamine = 220;
inline constexpr int16_t kTranCheckComplete = 221;
inline constexpr int16_t kTranNewMailRemains = 222;
inline constexpr int16_t TRAN_STATUS = 300;  // p1 = status kind

// Status kinds of TRAN_STATUS.
inline constexpr int16_t kStatusStopped = 2;  // settings program only
inline constexpr int16_t kStatusWaiting = 3;
inline constexpr int16_t kStatusLookingUp = 4;
inline constexpr int16_t kStatusConfirming = 5;
inline constexpr int16_t kStatusChecking = 6;

// Byte copies between a process's memory and the mapped block, which the
// other process may change at any moment.
void CopyToBlock(volatile uint8_t* block, size_t offset, const void* source, size_t size);
void CopyFromBlock(const volatile uint8_t* block, size_t offset, void* target, size_t size);

}  // namespace zvrx
