// The simulated camera on the wire: command channel on port 3002 and data
// channel on port 3001 of one loopback address. Commands go through a
// CommandProtocol to the CameraModel; while the model streams, its frames
// are pushed on the data connection.
#pragma once

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "camera_model.h"
#include "command_protocol.h"
#include "platform/socket.h"

namespace camsim {

// Frames a second a server pushes until told otherwise.
inline constexpr double kDefaultFrameRate = 30.0;

class CameraServer {
 public:
  explicit CameraServer(std::string address,
                        std::shared_ptr<CameraModel> model = nullptr);
  ~CameraServer();
  CameraServer(const CameraServer&) = delete;
  CameraServer& operator=(const CameraServer&) = delete;

  // Binds both ports and starts serving; false when the address or a port
  // cannot be bound.
  bool Start();
  // Closes the listeners and every connection and joins all threads.
  void Stop();

  CameraModel& model() { return *model_; }
  const std::string& address() const { return address_; }

  // The wire-level test controls, which live in the protocol (see there).
  void SetFault(std::int32_t code, Fault fault) {
    protocol_.SetFault(code, fault);
  }
  void ClearFaults() { protocol_.ClearFaults(); }
  void SetWrongGreetings(int count) { protocol_.SetWrongGreetings(count); }
  void SetSilentGreeting(bool silent) { protocol_.SetSilentGreeting(silent); }
  void SetGreetingDelay(std::uint32_t ms) { protocol_.SetGreetingDelay(ms); }
  // What the library sent.
  std::vector<ReceivedCommand> commands() const { return protocol_.commands(); }
  std::vector<std::int32_t> codes() const { return protocol_.codes(); }
  void ClearLog() { protocol_.ClearLog(); }

  // Bytes received on command connections so far.
  std::uint64_t commandBytes() const { return commandBytes_.load(); }
  // Command connections accepted so far.
  int commandConnections() const { return commandConnections_.load(); }
  // Data connections accepted so far.
  int dataConnections() const { return dataConnections_.load(); }

  // Waits up to ms for a data connection to be present.
  bool WaitForDataConnection(std::uint32_t ms);
  // Sends raw bytes on the newest data connection; false without one.
  bool PushData(const std::vector<std::uint8_t>& bytes);
  // A data-channel packet {type, length} followed by body.
  bool PushPacket(std::int32_t type, std::int32_t length,
                  const std::vector<std::uint8_t>& body = {});
  // Closes the newest data connection from the camera's side.
  void CloseDataConnection();

  // Frames a second pushed while the camera streams; 0 sends as fast as
  // the connection takes them.
  void SetFrameRate(double fps) { frameRate_.store(fps); }
  // Off, command 1 pushes nothing by itself and a test sends exact packets
  // with PushPacket.
  void SetAutoStream(bool on) { autoStream_.store(on); }
  std::uint64_t framesSent() const { return framesSent_.load(); }

 private:
  void AcceptCommands();
  void AcceptData();
  void ServeCommands(std::shared_ptr<quorvel::platform::Socket> connection);
  void Track(std::shared_ptr<quorvel::platform::Socket> connection);
  void Stream();
  bool PushFrame(std::uint32_t index);

  const std::string address_;
  std::shared_ptr<CameraModel> model_;
  CommandProtocol protocol_;
  quorvel::platform::Socket commandListener_;
  quorvel::platform::Socket dataListener_;
  std::atomic<bool> stopping_{false};
  std::atomic<std::uint64_t> commandBytes_{0};
  std::atomic<int> commandConnections_{0};
  std::atomic<int> dataConnections_{0};
  std::atomic<double> frameRate_{kDefaultFrameRate};
  std::atomic<bool> autoStream_{true};
  std::atomic<std::uint64_t> framesSent_{0};

  std::mutex dataMutex_;  // one writer at a time on the data connection
  std::condition_variable dataArrived_;
  std::shared_ptr<quorvel::platform::Socket> data_;

  std::mutex connectionsMutex_;
  std::vector<std::shared_ptr<quorvel::platform::Socket>> connections_;
  std::vector<std::thread> workers_;  // guarded by connectionsMutex_
  std::thread commandAcceptor_;
  std::thread dataAcceptor_;
  std::thread streamer_;
};

}  // namespace camsim
