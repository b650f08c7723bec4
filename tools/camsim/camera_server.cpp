#include "camera_server.h"

#include <chrono>

#include "platform/clock.h"
#include "wire.h"

namespace camsim {

using quorvel::platform::IoResult;
using quorvel::platform::ReceiveResult;
using quorvel::platform::Socket;

namespace {

// Larger than any command the library sends (a 524288-byte flash block);
// a longer announced payload ends the connection.
constexpr std::int32_t kMaxPayload = 8 * 1024 * 1024;

bool ReadExactly(const Socket& socket, std::uint8_t* bytes, std::size_t count) {
  while (count > 0) {
    const ReceiveResult got = socket.ReceiveSome(bytes, count);
    if (got.kind == ReceiveResult::Kind::kWouldBlock) continue;
    if (got.kind != ReceiveResult::Kind::kData) return false;
    bytes += got.bytes;
    count -= got.bytes;
  }
  return true;
}

}  // namespace

CameraServer::CameraServer(std::string address,
                           std::shared_ptr<CameraModel> model)
    : address_(std::move(address)),
      model_(model ? std::move(model) : std::make_shared<CameraModel>()),
      protocol_(*model_) {}

CameraServer::~CameraServer() { Stop(); }

bool CameraServer::Start() {
  std::uint32_t ipv4 = 0;
  if (!quorvel::platform::ParseIPv4(address_.c_str(), &ipv4)) return false;
  commandListener_ = Socket::ListenTcp(ipv4, wire::kCommandPort);
  dataListener_ = Socket::ListenTcp(ipv4, wire::kDataPort);
  if (!commandListener_.valid() || !dataListener_.valid()) {
    commandListener_.Close();
    dataListener_.Close();
    return false;
  }
  commandAcceptor_ = std::thread([this] { AcceptCommands(); });
  dataAcceptor_ = std::thread([this] { AcceptData(); });
  streamer_ = std::thread([this] { Stream(); });
  return true;
}

void CameraServer::Stop() {
  if (stopping_.exchange(true)) return;
  commandListener_.ShutdownBoth();
  dataListener_.ShutdownBoth();
  if (commandAcceptor_.joinable()) commandAcceptor_.join();
  if (dataAcceptor_.joinable()) dataAcceptor_.join();
  if (streamer_.joinable()) streamer_.join();
  commandListener_.Close();
  dataListener_.Close();
  std::vector<std::thread> workers;
  {
    std::lock_guard<std::mutex> lock(connectionsMutex_);
    for (const auto& connection : connections_) connection->ShutdownBoth();
    workers.swap(workers_);
  }
  for (auto& worker : workers) worker.join();
  {
    std::lock_guard<std::mutex> lock(dataMutex_);
    data_.reset();
  }
  std::lock_guard<std::mutex> lock(connectionsMutex_);
  connections_.clear();
}

void CameraServer::Track(std::shared_ptr<Socket> connection) {
  std::lock_guard<std::mutex> lock(connectionsMutex_);
  connections_.push_back(std::move(connection));
}

void CameraServer::AcceptCommands() {
  while (!stopping_.load()) {
    auto connection = std::make_shared<Socket>(commandListener_.Accept());
    if (!connection->valid()) return;
    ++commandConnections_;
    std::lock_guard<std::mutex> lock(connectionsMutex_);
    if (stopping_.load()) return;
    connections_.push_back(connection);
    workers_.emplace_back([this, connection] { ServeCommands(connection); });
  }
}

void CameraServer::AcceptData() {
  while (!stopping_.load()) {
    auto connection = std::make_shared<Socket>(dataListener_.Accept());
    if (!connection->valid()) return;
    // A listener's shutdown may wake the accept with a connection of its
    // own (Windows) instead of failing it.
    if (stopping_.load()) return;
    ++dataConnections_;
    Track(connection);
    {
      std::lock_guard<std::mutex> lock(dataMutex_);
      data_ = connection;
    }
    dataArrived_.notify_all();
  }
}

void CameraServer::ServeCommands(std::shared_ptr<Socket> connection) {
  if (const std::uint32_t delay = protocol_.greetingDelay(); delay > 0) {
    // The wait ends early when the client goes away or Stop shuts the
    // connection down.
    (void)connection->WaitReadable(delay);
  }
  const std::vector<std::uint8_t> greeting = protocol_.NextGreeting();
  if (!greeting.empty() &&
      connection->SendAll(greeting.data(), greeting.size()) != IoResult::kOk) {
    return;
  }
  for (;;) {
    std::uint8_t header[wire::kPairSize];
    if (!ReadExactly(*connection, header, sizeof header)) break;
    commandBytes_ += sizeof header;
    const std::int32_t code = quorvel::platform::LoadLE32Signed(header);
    const std::int32_t length = quorvel::platform::LoadLE32Signed(header + 4);
    if (length > kMaxPayload) break;
    std::vector<std::uint8_t> payload(
        length > 0 ? static_cast<std::size_t>(length) : 0);
    if (!payload.empty() &&
        !ReadExactly(*connection, payload.data(), payload.size()))
      break;
    commandBytes_ += payload.size();

    const Answer answer = protocol_.Handle(code, payload);
    if (answer.delayMs > 0) quorvel::platform::SleepMs(answer.delayMs);
    if (!answer.bytes.empty() &&
        connection->SendAll(answer.bytes.data(), answer.bytes.size()) !=
            IoResult::kOk) {
      break;
    }
    if (answer.closeAfter) break;
    if (answer.completion) {
      if (answer.completionDelayMs > 0) {
        quorvel::platform::SleepMs(answer.completionDelayMs);
      }
      (void)PushPacket(wire::kCompletionPacket, 0);
    }
  }
  // Closing from the camera's side; the library sees the peer go away.
  connection->ShutdownBoth();
}

bool CameraServer::WaitForDataConnection(std::uint32_t ms) {
  std::unique_lock<std::mutex> lock(dataMutex_);
  return dataArrived_.wait_for(lock, std::chrono::milliseconds(ms),
                               [this] { return data_ != nullptr; });
}

bool CameraServer::PushData(const std::vector<std::uint8_t>& bytes) {
  std::lock_guard<std::mutex> lock(dataMutex_);
  if (data_ == nullptr) return false;
  return data_->SendAll(bytes.data(), bytes.size()) == IoResult::kOk;
}

bool CameraServer::PushPacket(std::int32_t type, std::int32_t length,
                              const std::vector<std::uint8_t>& body) {
  std::vector<std::uint8_t> bytes;
  bytes.reserve(wire::kPacketHeaderSize + body.size());
  wire::AppendPair(bytes, type, length);
  bytes.insert(bytes.end(), body.begin(), body.end());
  return PushData(bytes);
}

// One send per frame: the frame header packet, whole-frame flags, and the
// data packet with every line.
bool CameraServer::PushFrame(std::uint32_t index) {
  const Frame shown = model_->frame(index);
  const std::vector<std::uint8_t>& body = *shown.body;
  std::vector<std::uint8_t> bytes;
  bytes.reserve(2 * wire::kPacketHeaderSize + wire::kFrameHeaderSize +
                body.size());
  wire::AppendPair(bytes, wire::kFrameHeaderPacket, wire::kFrameHeaderSize);
  wire::AppendPair(bytes, wire::kWholeFrame, shown.width);
  wire::Append32(bytes, shown.height);
  wire::AppendPair(bytes, shown.mask ? wire::kMaskPacket : wire::kPicturePacket,
                   static_cast<std::int32_t>(body.size()));
  bytes.insert(bytes.end(), body.begin(), body.end());
  if (!PushData(bytes)) return false;
  ++framesSent_;
  return true;
}

void CameraServer::Stream() {
  std::uint32_t index = 0;
  auto due = std::chrono::steady_clock::now();
  while (!stopping_.load()) {
    if (!autoStream_.load() || !model_->streaming()) {
      quorvel::platform::SleepMs(2);
      due = std::chrono::steady_clock::now();
      continue;
    }
    if (!PushFrame(index++)) {
      quorvel::platform::SleepMs(2);
      continue;
    }
    const double fps = frameRate_.load();
    if (fps > 0) {
      due += std::chrono::microseconds(static_cast<std::int64_t>(1e6 / fps));
      std::this_thread::sleep_until(due);
    }
  }
}

void CameraServer::CloseDataConnection() {
  std::lock_guard<std::mutex> lock(dataMutex_);
  if (data_ != nullptr) data_->ShutdownBoth();
  data_.reset();
}

}  // namespace camsim
