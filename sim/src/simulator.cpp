#include "sim/simulator.h"

#include <algorithm>

#include "sim/crc16.h"

namespace tavrin::sim {
namespace {

// A master never sends this much without a frame in it; older bytes go.
constexpr size_t kScanLimit = 1024;
constexpr size_t kShortestUnknownFrame = 4;

}  // namespace

void FrameScanner::push(ByteView bytes) { buffer_.insert(buffer_.end(), bytes.begin(), bytes.end()); }

std::optional<Bytes> FrameScanner::next(Bytes* skipped) {
  using K = FrameLength::Kind;
  for (size_t p = 0; p < buffer_.size(); ++p) {
    ByteView from = ByteView(buffer_).subspan(p);
    FrameLength fl = side_.frameLength(from);
    size_t length = 0;
    if (fl.kind == K::Known && fl.length <= from.size() && crcMatches(from.first(fl.length))) length = fl.length;
    if (fl.kind == K::Unknown && from.size() >= kShortestUnknownFrame && crcMatches(from)) length = from.size();
    if (length == 0) continue;
    skipped->assign(buffer_.begin(), buffer_.begin() + static_cast<std::ptrdiff_t>(p));
    Bytes frame(from.begin(), from.begin() + static_cast<std::ptrdiff_t>(length));
    buffer_.erase(buffer_.begin(), buffer_.begin() + static_cast<std::ptrdiff_t>(p + length));
    return frame;
  }
  skipped->clear();
  if (buffer_.size() > kScanLimit) {
    size_t drop = buffer_.size() - kScanLimit;
    skipped->assign(buffer_.begin(), buffer_.begin() + static_cast<std::ptrdiff_t>(drop));
    buffer_.erase(buffer_.begin(), buffer_.begin() + static_cast<std::ptrdiff_t>(drop));
  }
  return std::nullopt;
}

Bytes FrameScanner::flush() {
  Bytes rest;
  rest.swap(buffer_);
  return rest;
}

std::vector<Transmission> Simulator::receive(ByteView bytes, double seconds) {
  std::vector<Transmission> out;
  scanner_.push(bytes);
  Bytes skipped;
  while (auto frame = scanner_.next(&skipped)) {
    note("discard", skipped);
    note("request", *frame);
    if (auto t = handle(*frame, seconds)) out.push_back(std::move(*t));
    if (afterRequest_) afterRequest_();
  }
  note("discard", skipped);
  return out;
}

void Simulator::silence() { note("discard", scanner_.flush()); }

std::optional<Transmission> Simulator::handle(const Bytes& frame, double seconds) {
  RequestInfo info = side_.classify(frame);
  if (!info.answered) {
    side_.serve(frame, seconds);  // broadcasts are carried out without a reply
    return std::nullopt;
  }
  auto faults = faults_.select(info);
  if (trace_)
    for (const FaultSpec* f : faults) trace_->record("fault " + f->text, {});
  auto has = [&](FaultKind k) { return std::any_of(faults.begin(), faults.end(), [k](const FaultSpec* f) { return f->kind == k; }); };
  if (has(FaultKind::NoReply)) return std::nullopt;

  Bytes reply;
  auto refusal = std::find_if(faults.begin(), faults.end(), [](const FaultSpec* f) {
    return f->kind == FaultKind::Exception || f->kind == FaultKind::Negative;
  });
  reply = refusal != faults.end() ? side_.refuse(frame, **refusal) : side_.serve(frame, seconds);
  if (reply.empty()) return std::nullopt;

  Transmission t;
  t.requestLength = frame.size();
  Bytes noise;
  int delay = 0;
  std::optional<std::pair<size_t, int>> split;
  std::optional<size_t> hangupAt;
  for (const FaultSpec* f : faults) {
    switch (f->kind) {
      case FaultKind::OtherStation: reply = side_.restation(std::move(reply), f->value); break;
      case FaultKind::BadCrc:
        if (reply.size() > 2) {
          reply[reply.size() - 2] ^= 0xFF;
          reply[reply.size() - 1] ^= 0xFF;
        }
        break;
      case FaultKind::Noise: noise.insert(noise.end(), f->bytes.begin(), f->bytes.end()); break;
      case FaultKind::Late: delay += f->milliseconds; break;
      case FaultKind::Split: split = std::make_pair(f->at.value_or(reply.size() / 2), f->milliseconds); break;
      case FaultKind::Hangup: hangupAt = f->at.value_or(reply.size() / 2); break;
      default: break;
    }
  }
  // Positions of split and hang-up count in the reply itself, after any noise.
  Bytes wire = noise;
  wire.insert(wire.end(), reply.begin(), reply.end());
  if (hangupAt) {
    wire.resize(noise.size() + std::min(*hangupAt, reply.size()));
    t.hangup = true;
  }
  size_t cut = split ? std::min(noise.size() + split->first, wire.size()) : wire.size();
  t.segments.push_back({delay, Bytes(wire.begin(), wire.begin() + static_cast<std::ptrdiff_t>(cut))});
  if (cut < wire.size()) t.segments.push_back({split->second, Bytes(wire.begin() + static_cast<std::ptrdiff_t>(cut), wire.end())});
  return t;
}

}  // namespace tavrin::sim
