#include "kelvane/pa_adapter.h"

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

Status PaAdapter::recogniseReply() {
  switch (port_.waitReception(responseTimeout_, received_)) {
    case CAsyncSerialPort::ReceiveOutcome::TimedOut: return Status::NoReply;
    case CAsyncSerialPort::ReceiveOutcome::PortLost: return Status::PortFailure;
    case CAsyncSerialPort::ReceiveOutcome::Received: break;
  }
  auto found = findReply(received_);
  if (!found) return Status::BadReply;
  std::copy(found->begin(), found->end(), reply_.begin());
  replyLength_ = found->size();
  return Status::Ok;
}

Status PaAdapter::transaction(std::vector<uint8_t> request) {
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
      const auto since = Clock::now();
      do {
        code = recogniseReply();
        if (code == Status::Ok) {
          ++counters_[kTransactionsOk];
          return Status::Ok;
        }
        if (code == Status::PortFailure) break;
        if (code == Status::NoReply) ++counters_[kReplyWaitsTimedOut];
      } while (Clock::now() - since < responseTimeout_);
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
  Status s = transaction(stationStatusRequest(address));
  return s != Status::Ok ? s : checkStationStatus(reply(), address);
}

Status PaAdapter::slaveDiagnosis(uint8_t address, Payload& data) {
  data.size = 0;
  Status s = transaction(slaveDiagnosisRequest(address));
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
                                                oldDiagnosis.bytes[kIdentLow]));
  if (s == Status::Ok) s = checkSetAddress(reply());
  if (s != Status::Ok) return s;
  return slaveDiagnosis(newAddress, newDiagnosis);
}

Status PaAdapter::read(uint8_t address, uint8_t slot, uint8_t index, uint8_t length, Payload& data) {
  data.size = 0;
  Status s = transaction(readRequest(address, slot, index, length));
  return s != Status::Ok ? s : checkRead(reply(), address, data);
}

Status PaAdapter::write(uint8_t address, uint8_t slot, uint8_t index, std::span<const uint8_t> data,
                        Payload& error) {
  error.size = 0;
  auto request = writeRequest(address, slot, index, data);
  if (!request) return Status::InvalidRequest;
  Status s = transaction(std::move(*request));
  return s != Status::Ok ? s : checkWrite(reply(), address, error);
}

}  // namespace tavrin::kelvane
