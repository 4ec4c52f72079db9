#include "sim_bus.h"

#include <stdexcept>

#include "app/status_texts.h"

namespace tavrin::calibration::testing {

namespace {
constexpr uint8_t kNoResponse = 15;
}

SimBus::SimBus(std::string_view profile) {
  std::string why;
  auto p = sim::parseProfile(profile, sim::Bus::Profibus, &why);
  if (!p) throw std::runtime_error(why);
  profile_ = std::make_unique<sim::Profile>(std::move(*p));
  for (sim::PaTransmitter& d : profile_->setup.profibus) {
    d.setPlant(&plant_);
    d.disableNoise();
  }
}

bool SimBus::open() {
  std::lock_guard lock(mutex_);
  ++opens_;
  return true;
}

uint8_t SimBus::address() const {
  std::lock_guard lock(mutex_);
  return address_;
}

void SimBus::setAddress(uint8_t address) {
  std::lock_guard lock(mutex_);
  address_ = address;
}

sim::PaTransmitter* SimBus::device(int address) {
  for (sim::PaTransmitter& d : profile_->setup.profibus)
    if (d.address() == address) return &d;
  return nullptr;
}

void SimBus::failWhen(std::function<bool(const Request&)> predicate) {
  std::lock_guard lock(mutex_);
  fail_ = std::move(predicate);
}

void SimBus::hold() {
  std::lock_guard lock(mutex_);
  held_ = true;
}

void SimBus::release() {
  std::lock_guard lock(mutex_);
  held_ = false;
  changed_.notify_all();
}

void SimBus::waitUntilHeld() {
  std::unique_lock lock(mutex_);
  changed_.wait(lock, [&] { return waiting_ > 0; });
}

bool SimBus::pass(Request request, double* now) {
  std::unique_lock lock(mutex_);
  ++waiting_;
  changed_.notify_all();
  changed_.wait(lock, [&] { return !held_; });
  --waiting_;
  request.failed = fail_ && fail_(request);
  requests_.push_back(request);
  seconds_ += 0.05;
  if (now) *now = seconds_;
  return !request.failed;
}

bool SimBus::present(uint8_t address) {
  if (!pass({Request::Kind::Present, address, 0, 0, {}, false}, nullptr)) return false;
  return device(address) != nullptr;
}

bool SimBus::read(uint8_t slot, uint8_t index, std::span<uint8_t> data, size_t& received) {
  received = 0;
  const int a = address();
  double now = 0;
  if (!pass({Request::Kind::Read, a, slot, index, {}, false}, &now)) return false;
  sim::PaTransmitter* d = device(a);
  if (!d) return false;
  auto result = d->read(slot, index, static_cast<uint8_t>(std::min<size_t>(data.size(), 255)), now);
  const auto* bytes = std::get_if<sim::Bytes>(&result);
  if (!bytes) return false;
  received = std::min(bytes->size(), data.size());
  std::copy_n(bytes->begin(), received, data.begin());
  return true;
}

bool SimBus::write(uint8_t slot, uint8_t index, std::span<const uint8_t> data, std::string& cause) {
  const int a = address();
  double now = 0;
  if (!pass({Request::Kind::Write, a, slot, index, {data.begin(), data.end()}, false}, &now)) {
    cause = app::profibusStatusText(kNoResponse);
    return false;
  }
  sim::PaTransmitter* d = device(a);
  if (!d) {
    cause = app::profibusStatusText(kNoResponse);
    return false;
  }
  if (auto refused = d->write(slot, index, data, now)) {
    cause = app::decodeDpv1Error(refused->decode, refused->code1, refused->code2).text();
    return false;
  }
  return true;
}

std::vector<Request> SimBus::requests() const {
  std::lock_guard lock(mutex_);
  return requests_;
}

std::vector<Request> SimBus::writes() const {
  std::vector<Request> out;
  for (const Request& r : requests())
    if (r.kind == Request::Kind::Write) out.push_back(r);
  return out;
}

void SimBus::clearRequests() {
  std::lock_guard lock(mutex_);
  requests_.clear();
}

std::string profileOf(std::initializer_list<int> addresses) {
  std::string text = "[SIMULATOR]\nBUS = PROFIBUS\n";
  for (int a : addresses) {
    const std::string n = std::to_string(a);
    text += "\n[DEVICE pt" + n + "]\nADDRESS = " + n + "\nIDENT_NUMBER = 0x0A31\nSERIAL_NUMBER = SN-" + n +
            "\nslot.1.26 = f32:0 u8:0x80\nslot.1.106 = u16: 1133\nslot.3.32 = u16: 1001\nCALIBRATION = 1\n"
            "OUTPUT = slot.1.26\nSENSOR_GAIN = " + std::to_string(1.0 + 0.01 * a) + "\nSENSOR_OFFSET = " +
            std::to_string(0.1 * a) + "\nSENSOR_TEMPCO = 0.05\n";
  }
  return text;
}

}  // namespace tavrin::calibration::testing
