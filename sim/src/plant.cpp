#include "sim/plant.h"

#include <sys/stat.h>

#include "platform/key_file.h"
#include "sim/values.h"

namespace tavrin::sim {
namespace {

double jitter(double amplitude, std::minstd_rand& rng) {
  if (amplitude == 0) return 0;
  std::uniform_real_distribution<double> unit(-1.0, 1.0);
  return amplitude * unit(rng);
}

}  // namespace

PlantState PlantFile::now() {
  struct stat st {};
  if (::stat(path_.c_str(), &st) != 0) return state_;
  const int64_t mtime = static_cast<int64_t>(st.st_mtim.tv_sec) * 1000000000 + st.st_mtim.tv_nsec;
  if (seen_ && mtime == mtimeNs_ && st.st_size == size_ && st.st_ino == inode_) return state_;
  seen_ = true;
  mtimeNs_ = mtime;
  size_ = st.st_size;
  inode_ = st.st_ino;
  const platform::KeyFile file = platform::KeyFile::load(path_);
  if (auto p = file.get("PLANT", "PRESSURE"))
    if (auto v = parseNumber(*p)) state_.pressure = *v;
  if (auto t = file.get("PLANT", "TEMPERATURE"))
    if (auto v = parseNumber(*t)) state_.temperature = *v;
  return state_;
}

double Sensor::rawPressure(const PlantState& plant, std::minstd_rand& rng) const {
  const double p = plant.pressure;
  return offset + gain * p + nonlinear * p * p + tempco * (plant.temperature - kReferenceTemperature) + jitter(noise, rng);
}

double Sensor::rawTemperature(const PlantState& plant, std::minstd_rand& rng) const {
  return plant.temperature + jitter(noise, rng);
}

}  // namespace tavrin::sim
