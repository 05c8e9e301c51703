#include "support/raw_socket.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>

namespace norvane::test {

namespace {

sockaddr_in Loopback(const std::string& address, int port) {
  sockaddr_in a{};
  a.sin_family = AF_INET;
  a.sin_port = htons(static_cast<uint16_t>(port));
  inet_pton(AF_INET, address.c_str(), &a.sin_addr);
  return a;
}

// Waits for the socket to become readable; false on time-out.
bool Readable(int fd, int waitMs) {
  pollfd p{fd, POLLIN, 0};
  return poll(&p, 1, waitMs) > 0;
}

}  // namespace

RawConnection::RawConnection(int port, const std::string& fromAddress) {
  fd_ = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (fd_ < 0) return;
  if (!fromAddress.empty()) {
    sockaddr_in from = Loopback(fromAddress, 0);
    if (bind(fd_, reinterpret_cast<sockaddr*>(&from), sizeof from) != 0) {
      close(fd_);
      fd_ = -1;
      return;
    }
  }
  sockaddr_in to = Loopback("127.0.0.1", port);
  if (connect(fd_, reinterpret_cast<sockaddr*>(&to), sizeof to) != 0) {
    close(fd_);
    fd_ = -1;
  }
}

RawConnection::~RawConnection() {
  if (fd_ >= 0) close(fd_);
}

RawConnection::RawConnection(RawConnection&& other) noexcept : fd_(other.fd_) { other.fd_ = -1; }

bool RawConnection::Send(std::string_view bytes) {
  while (!bytes.empty()) {
    ssize_t n = send(fd_, bytes.data(), bytes.size(), MSG_NOSIGNAL);
    if (n <= 0) return false;
    bytes.remove_prefix(static_cast<size_t>(n));
  }
  return true;
}

bool RawConnection::ClosedByServer(int waitMs) {
  auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(waitMs);
  char buf[4096];
  while (true) {
    auto left = std::chrono::duration_cast<std::chrono::milliseconds>(end - std::chrono::steady_clock::now());
    if (!Readable(fd_, std::max(0, static_cast<int>(left.count())))) return false;
    ssize_t n = recv(fd_, buf, sizeof buf, 0);
    if (n <= 0) return true;  // an answer before the close is read past
  }
}

std::string RawConnection::Receive(int waitMs) {
  std::string out;
  char buf[4096];
  while (Readable(fd_, waitMs)) {
    ssize_t n = recv(fd_, buf, sizeof buf, 0);
    if (n <= 0) break;
    out.append(buf, static_cast<size_t>(n));
  }
  return out;
}

RawHttpServer::RawHttpServer(std::string response) : response_(std::move(response)) {
  listenFd_ = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  sockaddr_in a = Loopback("127.0.0.1", 0);
  bind(listenFd_, reinterpret_cast<sockaddr*>(&a), sizeof a);
  listen(listenFd_, 8);
  socklen_t len = sizeof a;
  getsockname(listenFd_, reinterpret_cast<sockaddr*>(&a), &len);
  port_ = ntohs(a.sin_port);
  thread_ = std::thread([this] { Serve(); });
}

RawHttpServer::~RawHttpServer() {
  stopping_ = true;
  shutdown(listenFd_, SHUT_RDWR);
  thread_.join();
  close(listenFd_);
}

std::string RawHttpServer::Url(std::string_view path) const {
  return "http://127.0.0.1:" + std::to_string(port_) + std::string(path);
}

std::vector<std::string> RawHttpServer::Requests() const {
  std::lock_guard lock(mutex_);
  return requests_;
}

void RawHttpServer::Serve() {
  while (!stopping_) {
    if (!Readable(listenFd_, 100)) continue;
    int fd = accept4(listenFd_, nullptr, nullptr, SOCK_CLOEXEC);
    if (fd < 0) continue;
    std::string head;
    char buf[4096];
    while (head.find("\r\n\r\n") == std::string::npos && head.size() < 65536 && Readable(fd, 5000)) {
      ssize_t n = recv(fd, buf, sizeof buf, 0);
      if (n <= 0) break;
      head.append(buf, static_cast<size_t>(n));
    }
    {
      std::lock_guard lock(mutex_);
      requests_.push_back(head.substr(0, head.find("\r\n\r\n")));
    }
    std::string_view rest(response_);
    while (!rest.empty()) {
      ssize_t n = send(fd, rest.data(), rest.size(), MSG_NOSIGNAL);
      if (n <= 0) break;
      rest.remove_prefix(static_cast<size_t>(n));
    }
    shutdown(fd, SHUT_WR);
    close(fd);
  }
}

}  // namespace norvane::test
