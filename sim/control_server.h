#pragma once
// The control socket of a running simulator, beside the device object in the device folder
// (protocol in control_protocol.h).

#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "sim/control_commands.h"
#include "sim/control_protocol.h"

class SimControlServer {
 public:
  using Handler = std::function<sim::ControlResult(const std::vector<std::string>& words)>;

  // `handler` runs on the control thread, one command at a time.
  SimControlServer(std::string path, Handler handler);
  ~SimControlServer();

  SimControlServer(const SimControlServer&) = delete;
  SimControlServer& operator=(const SimControlServer&) = delete;

  bool Start(std::string& error);
  // Ends the control thread and removes the socket file. Idempotent.
  void Stop();

 private:
  void Serve();
  void Answer(int fd);

  const std::string m_path;
  Handler m_handler;
  int m_wake = -1;  // eventfd that ends the poll for Stop
  int m_listener = -1;
  std::thread m_thread;
};
