#include "kelvane/pa_adapter.h"

#include "kelvane/reception_parts.h"

#include <algorithm>
#include <system_error>

namespace tavrin::kelvane {
namespace {

using Clock = std::chrono::steady_clock;
using std::chrono::milliseconds;

// Where the ident number sits in a DP slave diagnosis.
constexpr size_t kIdentHigh = 4;
constexpr size_t kIdentLow = 5;

}  // namespace

bool PaAdapter::open(const std::string& programFolder, int port, int flowIndex, int responseTimeoutMs) {
  port_.setReadIntervalTimeout(CAsyncSerialPort::kDefaultReadInterval);
  port_.setWriteWait(CAsyncSerialPort::kDefaultWriteWait);
  setResponseTimeout(responseTimeoutMs);
  port_.setProgramFolder(programFolder);
  return port_.open(port, kBaud, kParityNone, kDataBits, kOneStopBit, flowIndex);
}

void PaAdapter::close() { port_.close(); }

milliseconds PaAdapter::setResponseTimeout(int ms) {
  milliseconds wanted(ms);
  if (wanted < kMinResponseTimeout)
    responseTimeout_ = kDefaultResponseTimeout;
  else
    responseTimeout_ = std::min(wanted, kMaxResponseTimeout);
  return responseTimeout_;
}

PaAdapter::Recognised PaAdapter::recogniseReply(const Answers& answers) {
  switch (port_.waitReception(responseTimeout_, received_)) {
    case CAsyncSerialPort::ReceiveOutcome::TimedOut:
      port_.frameTap().deliver(Clock::now(), static_cast<uint8_t>(FrameDirection::Received),
                            static_cast<uint8_t>(FrameOutcome::TimedOut), {});
      return Recognised::TimedOut;
    case CAsyncSerialPort::ReceiveOutcome::PortLost: return Recognised::PortLost;
    case CAsyncSerialPort::ReceiveOutcome::Received: break;
  }
  // An adapter answers in turn: a late reply to an earlier request comes
  // just before the reply to this one, in the same reception.
  std::optional<std::span<const uint8_t>> answer;
  const auto replies = findReplies(received_);
  if (replies.empty()) return Recognised::Unrecognised;
  for (const auto& reply : replies) {
    if (answers(reply) == Status::BadReply) continue;
    if (answer && !std::ranges::equal(*answer, reply)) return Recognised::Conflict;
    answer = reply;
  }
  if (!answer) return Recognised::NoAnswer;
  std::copy(answer->begin(), answer->end(), reply_.begin());
  replyLength_ = answer->size();
  return Recognised::Reply;
}

Status PaAdapter::transaction(std::vector<uint8_t> request, const Answers& answers) {
  replyLength_ = 0;
  appendCrc(request);
  Status code = Status::NotSent;
  try {
    for (int attempt = 0; attempt < kAttempts; ++attempt) {
      ++counters_[kRequestsWritten];
      port_.beginExchange();
      int error = 0;
      if (!port_.write(request, &error)) {
        if (error == CAsyncSerialPort::kDeviceNotConnected) {
          ++counters_[kTransactionsFailed];
          return Status::PortFailure;
        }
        code = Status::NotSent;
        continue;
      }
      auto written = port_.waitWriteCompletion(port_.writeWait());
      if (written == CAsyncSerialPort::WriteOutcome::Failed || written == CAsyncSerialPort::WriteOutcome::PortLost) {
        ++counters_[kTransactionsFailed];
        return Status::PortFailure;
      }
      if (written == CAsyncSerialPort::WriteOutcome::TimedOut) {
        ++counters_[kWritesLate];
        code = Status::SendTimeout;
        continue;
      }
      // A reply that answers another request (a late one) is passed over:
      // the reply to this one may still come. The time limit then reports
      // it as a reply that does not match.
      const auto since = Clock::now();
      bool conflict = false;
      bool answeredOther = false;
      do {
        switch (recogniseReply(answers)) {
          case Recognised::Reply:
            ++counters_[kTransactionsOk];
            return Status::Ok;
          case Recognised::Unrecognised: code = Status::BadReply; break;
          case Recognised::NoAnswer:
            code = Status::BadReply;
            answeredOther = true;
            break;
          case Recognised::TimedOut:
            code = Status::NoReply;
            ++counters_[kReplyWaitsTimedOut];
            break;
          case Recognised::Conflict:
            code = Status::BadReply;
            conflict = true;
            break;
          case Recognised::PortLost: code = Status::PortFailure; break;
        }
      } while (code != Status::PortFailure && !conflict && Clock::now() - since < responseTimeout_);
      if (code == Status::NoReply && answeredOther) code = Status::BadReply;
      if (code == Status::PortFailure) break;
    }
  } catch (const std::system_error&) {
    // A wait that fails leaves the exchange in an unknown state: the port
    // is treated as failed, so the program reopens it.
    code = Status::PortFailure;
  }
  ++counters_[kTransactionsFailed];
  return code;
}

Status PaAdapter::stationStatus(uint8_t address) {
  Status s = transaction(stationStatusRequest(address),
                         [address](std::span<const uint8_t> r) { return checkStationStatus(r, address); });
  return s != Status::Ok ? s : checkStationStatus(reply(), address);
}

Status PaAdapter::slaveDiagnosis(uint8_t address, Payload& data) {
  data.size = 0;
  Status s = transaction(slaveDiagnosisRequest(address), [address](std::span<const uint8_t> r) {
    Payload ignored;
    return checkDiagnosis(r, address, ignored);
  });
  return s != Status::Ok ? s : checkDiagnosis(reply(), address, data);
}

Status PaAdapter::modifySlaveAddress(uint8_t oldAddress, uint8_t newAddress) {
  Payload oldDiagnosis;
  if (Status s = slaveDiagnosis(oldAddress, oldDiagnosis); s != Status::Ok) return s;
  // The set-address telegram carries the device's ident number; a diagnosis
  // too short to hold it does not answer the request.
  if (oldDiagnosis.size <= kIdentLow) return Status::BadReply;
  // The new address is only taken when nobody answers there.
  Payload newDiagnosis;
  if (slaveDiagnosis(newAddress, newDiagnosis) != Status::NoReply) return Status::InvalidRequest;
  Status s = transaction(setSlaveAddressRequest(oldAddress, newAddress, oldDiagnosis.bytes[kIdentHigh],
                                                oldDiagnosis.bytes[kIdentLow]),
                         [](std::span<const uint8_t> r) { return checkSetAddress(r); });
  if (s == Status::Ok) s = checkSetAddress(reply());
  if (s != Status::Ok) return s;
  return slaveDiagnosis(newAddress, newDiagnosis);
}

Status PaAdapter::read(uint8_t address, uint8_t slot, uint8_t index, uint8_t length, Payload& data) {
  data.size = 0;
  Status s = transaction(readRequest(address, slot, index, length), [=](std::span<const uint8_t> r) {
    Payload ignored;
    return checkRead(r, address, slot, index, length, ignored);
  });
  return s != Status::Ok ? s : checkRead(reply(), address, slot, index, length, data);
}

Status PaAdapter::write(uint8_t address, uint8_t slot, uint8_t index, std::span<const uint8_t> data,
                        Payload& error) {
  error.size = 0;
  auto request = writeRequest(address, slot, index, data);
  if (!request) return Status::InvalidRequest;
  const auto length = static_cast<uint8_t>(data.size());
  Status s = transaction(std::move(*request), [=](std::span<const uint8_t> r) {
    Payload ignored;
    return checkWrite(r, address, slot, index, length, ignored);
  });
  return s != Status::Ok ? s : checkWrite(reply(), address, slot, index, length, error);
}

}  // namespace tavrin::kelvane
