#pragma once
#include <atomic>
#include <mutex>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

namespace norvane::test {

// One TCP connection to 127.0.0.1:port, bytes sent exactly as given: for clients that
// misbehave (half-open requests, stray characters). Closed with the object.
class RawConnection {
 public:
  // Connects from the given loopback address (127.0.0.2: an outside client); invalid()
  // when the connection could not be made.
  RawConnection(int port, const std::string& fromAddress = "");
  ~RawConnection();
  RawConnection(RawConnection&& other) noexcept;
  RawConnection(const RawConnection&) = delete;
  RawConnection& operator=(const RawConnection&) = delete;

  bool valid() const { return fd_ >= 0; }
  bool Send(std::string_view bytes);
  // True when the server closed (or reset) the connection within waitMs.
  bool ClosedByServer(int waitMs);
  // What the server sent until it closed or went silent for waitMs.
  std::string Receive(int waitMs);

 private:
  int fd_ = -1;
};

// A server on 127.0.0.1 that answers every request with the same raw bytes (so a test
// can send what no well-behaved server library would) and keeps each request's raw
// header block. One connection at a time; closes after each answer.
class RawHttpServer {
 public:
  explicit RawHttpServer(std::string response);
  ~RawHttpServer();
  RawHttpServer(const RawHttpServer&) = delete;
  RawHttpServer& operator=(const RawHttpServer&) = delete;

  int port() const { return port_; }
  std::string Url(std::string_view path) const;
  std::vector<std::string> Requests() const;

 private:
  void Serve();

  std::string response_;
  int listenFd_ = -1;
  int port_ = 0;
  std::atomic<bool> stopping_{false};
  mutable std::mutex mutex_;
  std::vector<std::string> requests_;
  std::thread thread_;
};

}  // namespace norvane::test
