// What the session's tests share: a program folder of the test's own with
// chosen driver libraries in Driver/, control of the scripted fake drivers,
// and tavrin-sim on a pseudo-terminal behind ports/COM<n>.
#pragma once

#include <sys/types.h>

#include <cstdint>
#include <string>
#include <vector>

#include "app/configuration.h"
#include "platform/dynamic_library.h"
#include "testing/temp_dir.h"

namespace tavrin::app::testing {

inline const std::string kFakeKelvane = FAKE_DRIVER_DIR "fake_kelvane.so";
inline const std::string kFakeKelvanePartial = FAKE_DRIVER_DIR "fake_kelvane_partial.so";
inline const std::string kFakeOstrelle = FAKE_DRIVER_DIR "fake_ostrelle.so";
inline const std::string kFakeOstrellePartial = FAKE_DRIVER_DIR "fake_ostrelle_partial.so";
inline const std::string kRealKelvane = TAVRIN_DIST_DIR "Driver/Kelvane.so";
inline const std::string kRealOstrelle = TAVRIN_DIST_DIR "Driver/Ostrelle.so";
inline const std::string kRealLirrand = TAVRIN_DIST_DIR "Driver/Lirrand.so";

class TestProgramFolder {
 public:
  TestProgramFolder();
  const std::string& path() const { return dir_.path(); }
  std::string file(const std::string& name) const { return dir_.file(name); }
  ProgramFiles files() const { return ProgramFiles{dir_.path()}; }
  std::string comIni() const { return files().comIni(); }

  // Driver/<name>.so becomes a link to library.
  void linkDriver(const std::string& name, const std::string& library) const;
  void write(const std::string& name, const std::string& content) const;
  std::string read(const std::string& name) const { return dir_.read(name); }
  // ports/COM<n> becomes a link to device.
  void plugPort(int port, const std::string& device) const;
  std::string portLink(int port) const { return file("ports/COM" + std::to_string(port)); }

 private:
  tavrin::testing::TempDir dir_;
};

// The program folder with the real driver and loader libraries. A driver library is
// loaded once per process whatever link points at it, and finds its ports
// through the folder it was first loaded from: one folder serves every test.
TestProgramFolder& realDrivers();

// A fake driver library, loaded here too so that its script and log outlive
// the links' binding and unbinding (one library file is one handle).
class FakeDriver {
 public:
  explicit FakeDriver(const std::string& library);
  bool loaded() const { return library_.isOpen(); }
  void reset() const;
  // The next driver call (status, read, write) answers with status and data.
  void reply(uint8_t status, const std::vector<uint8_t>& data = {}) const;
  void replyTimes(int count, uint8_t status, const std::vector<uint8_t>& data = {}) const;
  void setOpenResult(int32_t result) const;
  // One line per call, e.g. "C3Read 5 1 16 20".
  std::vector<std::string> log() const;

 private:
  platform::DynamicLibrary library_;
};

// tavrin-sim on its own pseudo-terminal, its link at linkPath; ended by pid.
class Simulator {
 public:
  Simulator(const std::string& bus, const std::string& linkPath, const std::string& profile,
            const std::vector<std::string>& extra = {});
  ~Simulator();
  Simulator(const Simulator&) = delete;
  Simulator& operator=(const Simulator&) = delete;
  // Waits until the link exists.
  bool ready();

 private:
  std::string link_;
  pid_t pid_ = -1;
};

}  // namespace tavrin::app::testing
