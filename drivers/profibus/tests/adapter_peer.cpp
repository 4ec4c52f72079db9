#include "adapter_peer.h"

#include <poll.h>
#include <unistd.h>

#include <cerrno>

#include "kelvane/telegram.h"
#include "testing/pty_pair.h"

namespace tavrin::kelvane::testing {

std::vector<uint8_t> framed(const std::string& hex) {
  auto bytes = tavrin::testing::unhex(hex);
  appendCrc(bytes);
  return bytes;
}

Answer say(std::vector<uint8_t> bytes) {
  if (bytes.empty()) return {};
  return {Piece{std::move(bytes), {}}};
}

AdapterPeer::AdapterPeer(int master, Responder responder)
    : master_(master), responder_(std::move(responder)), thread_([this] { run(); }) {}

AdapterPeer::~AdapterPeer() {
  stop_.notify();
  thread_.join();
}

std::vector<std::vector<uint8_t>> AdapterPeer::requests() const {
  std::lock_guard lock(mutex_);
  return requests_;
}

bool AdapterPeer::waitForRequests(size_t count, std::chrono::milliseconds limit) const {
  std::unique_lock lock(mutex_);
  return arrived_.wait_for(lock, limit, [&] { return requests_.size() >= count; });
}

bool AdapterPeer::pause(std::chrono::milliseconds pause) {
  if (pause.count() == 0) return true;
  pollfd p{stop_.fd(), POLLIN, 0};
  return ::poll(&p, 1, static_cast<int>(pause.count())) == 0;
}

void AdapterPeer::run() {
  std::vector<uint8_t> pending;
  for (;;) {
    pollfd fds[2] = {{stop_.fd(), POLLIN, 0}, {master_, POLLIN, 0}};
    if (::poll(fds, 2, -1) < 0) {
      if (errno == EINTR) continue;
      return;
    }
    if ((fds[0].revents & POLLIN) != 0) return;
    if ((fds[1].revents & POLLIN) == 0) {
      if ((fds[1].revents & (POLLHUP | POLLERR | POLLNVAL)) != 0) return;
      continue;
    }
    uint8_t buffer[512];
    ssize_t n = ::read(master_, buffer, sizeof buffer);
    if (n <= 0) {
      if (n < 0 && (errno == EAGAIN || errno == EINTR)) continue;
      return;
    }
    pending.insert(pending.end(), buffer, buffer + n);
    // Cut whole telegrams off the front: a short frame is 6 bytes with its
    // CRC, a long one LE + 6; anything else is dropped byte by byte.
    for (;;) {
      size_t size = 0;
      if (pending.empty()) break;
      if (pending[0] == 0x10) {
        size = 6;
      } else if (pending[0] == 0x68) {
        if (pending.size() < 2) break;
        size = static_cast<size_t>(pending[1]) + 6;
      } else {
        pending.erase(pending.begin());
        continue;
      }
      if (pending.size() < size) break;
      std::vector<uint8_t> request(pending.begin(), pending.begin() + static_cast<std::ptrdiff_t>(size));
      pending.erase(pending.begin(), pending.begin() + static_cast<std::ptrdiff_t>(size));
      Answer answer = responder_ ? responder_(request) : Answer{};
      {
        std::lock_guard lock(mutex_);
        requests_.push_back(request);
        arrived_.notify_all();
      }
      for (const auto& piece : answer) {
        if (!pause(piece.pauseBefore)) return;
        size_t done = 0;
        while (done < piece.bytes.size()) {
          ssize_t w = ::write(master_, piece.bytes.data() + done, piece.bytes.size() - done);
          if (w > 0) {
            done += static_cast<size_t>(w);
          } else if (w < 0 && errno != EAGAIN && errno != EINTR) {
            return;
          } else {
            pollfd p{master_, POLLOUT, 0};
            ::poll(&p, 1, 100);
          }
        }
      }
    }
  }
}

}  // namespace tavrin::kelvane::testing
