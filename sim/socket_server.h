#pragma once
// Serves a device endpoint at the device path over the local socket protocol: SOCK_SEQPACKET,
// one request message [output size 0 or 32, frame of 6..32 bytes] and one response message
// [1 completed / 0 failed, 32 reply bytes when 32 were asked] per connection. A connection
// that sends nothing and closes is a presence probe.
//
// One thread polls every connection, so a probe or a slow client never holds up the others.
// The socket file exists exactly while the endpoint is plugged: the server removes it when
// the endpoint goes away (unplugged, restarting) and creates it again when it comes back.
// A malformed request gets a failed response; a client that stays silent is dropped.

#include <chrono>
#include <cstdint>
#include <functional>
#include <mutex>
#include <string>
#include <thread>

#include "device/device_endpoint.h"

// Faults of the wire rather than the device, for trying the tool's time-outs.
struct WireFaults {
  std::uint32_t delayMs = 0;  // every response goes out this much later
  unsigned dropNext = 0;      // the next N requests get no response: the server just closes
  unsigned shortNext = 0;     // the next N responses lose their reply bytes

  bool operator==(const WireFaults&) const = default;
};

// What the serving thread did with one connection, for tests that check ordering.
struct ConnectionEvent {
  enum class Kind { kAccepted, kRequest, kResponded, kClosed };
  Kind kind;
  std::uint64_t connection;  // 1, 2, ... in order of acceptance
  std::chrono::steady_clock::time_point at;
};

class SimSocketServer {
 public:
  // A client silent this long after connecting, or not closing this long after its
  // response, is dropped.
  static constexpr std::chrono::milliseconds kIdleLimit{10000};

  // `endpoint` must outlive the server.
  SimSocketServer(DeviceEndpoint& endpoint, std::string path);
  ~SimSocketServer();

  SimSocketServer(const SimSocketServer&) = delete;
  SimSocketServer& operator=(const SimSocketServer&) = delete;

  // Binds the socket (when the endpoint is plugged) and starts serving. False with a message
  // when the path cannot be served, for example because another simulator serves it.
  bool Start(std::string& error);
  // Ends serving, closes every connection and removes the socket file. Idempotent.
  void Stop();

  const std::string& Path() const { return m_path; }
  WireFaults Faults() const;
  void SetFaults(const WireFaults& faults);
  // Called on the serving thread; it must not call back into the server.
  void SetObserver(std::function<void(const ConnectionEvent&)> observer);

 private:
  struct Connection;
  void Serve();
  void SyncPlugState();
  void Accept(std::vector<Connection>& connections);
  // False when the connection is done and must be closed.
  bool Receive(Connection& c);
  bool Respond(Connection& c);
  void Notify(ConnectionEvent::Kind kind, std::uint64_t connection);

  DeviceEndpoint& m_endpoint;
  const std::string m_path;
  int m_wake = -1;               // eventfd that ends the poll for Stop
  int m_listener = -1;           // serving thread only (after Start); -1 while unplugged
  bool m_listenFailed = false;   // serving thread only: reported once, retried quietly
  std::uint64_t m_accepted = 0;  // serving thread only
  std::thread m_thread;

  mutable std::mutex m_mutex;  // guards m_faults and m_observer
  WireFaults m_faults;
  std::function<void(const ConnectionEvent&)> m_observer;
};
