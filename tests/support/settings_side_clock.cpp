#include "tests/support/settings_side_clock.h"

#include <cstring>

namespace zvrx::test {

std::string HeaderText(const TransferHeader& h) {
  return std::to_string(h.code) + " " + std::to_string(h.p1) + " " + std::to_string(h.p2) + " " +
         std::to_string(h.p3) + " " + std::to_string(h.p4);
}

bool SettingsSideClock::OpenBlock() {
  if (!block_) {
    int error = 0;
    block_ = platform::SharedMemory::Open(kTransferBlockName, kTransferBlockSize, &error);
  }
  return block_ != nullptr;
}

uint8_t SettingsSideClock::HandshakeByte() {
  return OpenBlock() ? block_->data()[kHandshakeByte] : 0;
}

void SettingsSideClock::DeliverOnSleepOf(int milliseconds, const SettingsRecords& records,
                                         bool check_now) {
  delivery_on_sleep_ms_ = milliseconds;
  delivery_ = records;
  delivery_check_now_ = check_now;
}

void SettingsSideClock::DeliverNow(const SettingsRecords& records, bool check_now) {
  if (!OpenBlock()) return;
  volatile uint8_t* block = block_->data();
  TransferHeader header{TRAN_SETTINGS, static_cast<int16_t>(check_now ? 1 : 0), 0, 0, 0};
  CopyToBlock(block, offsetof(TransferBlock, basic), &records.basic, sizeof records.basic);
  CopyToBlock(block, offsetof(TransferBlock, options), &records.options, sizeof records.options);
  CopyToBlock(block, offsetof(TransferBlock, judgment), &records.judgment,
              sizeof records.judgment);
  CopyToBlock(block, offsetof(TransferBlock, mailer), &records.mailer, sizeof records.mailer);
  CopyToBlock(block, 0, &header, sizeof header);
}

void SettingsSideClock::Serve() {
  if (!OpenBlock()) return;
  volatile uint8_t* block = block_->data();
  TransferHeader header;
  CopyFromBlock(block, 0, &header, sizeof header);
  const uint8_t byte0 = block[kHandshakeByte];
  if (byte0 == TRAN_ASK) {
    if (block[kAnswerMarkByte] != 0 || !answer_) return;
    posts_.push_back("ask");
    TransferHeader reply = header;
    reply.code = TRAN_ANSWER;
    reply.p1 = *answer_ ? 1 : 0;
    reply.p2 = 1;
    CopyToBlock(block, 0, &reply, sizeof reply);
  } else if (byte0 == TRAN_ANSWER) {
    block[0] = TRAN_IDLE;  // our own answer, acknowledged without display
    block[1] = 0;
  } else if (byte0 != 0 && byte0 != TRAN_IDLE && byte0 != TRAN_SETTINGS) {
    posts_.push_back(HeaderText(header));
    block[0] = TRAN_IDLE;
    block[1] = 0;
  }
}

void SettingsSideClock::Sleep(int milliseconds) {
  FakeClock::Sleep(milliseconds);
  Serve();
  if (delivery_on_sleep_ms_ != 0 && milliseconds == delivery_on_sleep_ms_) {
    delivery_on_sleep_ms_ = 0;
    DeliverNow(delivery_, delivery_check_now_);
  }
}

std::vector<std::string> SettingsSideClock::Collect() {
  const uint8_t byte0 = HandshakeByte();
  if (byte0 != TRAN_ASK) Serve();  // a question is answered only inside a wait
  return posts_;
}

}  // namespace zvrx::test
