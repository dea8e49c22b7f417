// Test support for end-to-end tests: a quorsim process on a loopback port it
// picks itself, with a temporary store, its control channel, a raw framed
// client, and the client configuration file that points at it.
//
//   QuorTest::Simulator sim({.keys = {{.slot = 1, .type = "sm4", .hex = "00112233..."}}});
//   auto conn = sim.Connect();
//   auto answer = conn.Exchange(request);          // one framed request, one answer body
//   sim.Control("delay 200");                      // see docs/simulator.md for the commands
//   QuorTest::WriteClientConfig(dir, {sim.Host()});
//
// Failures to start or to talk to quorsim throw std::runtime_error.
#pragma once

#include <sys/types.h>

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace QuorTest {

// One key (or password) provisioned with `quorsim key add` before the server starts.
struct SimKey {
  uint32_t slot = 0;
  std::string type;      // sm4, aes128, aes192, aes256, des, 3des2, 3des3; empty: password only
  std::string hex;       // the plain key in hexadecimal; empty: a random key
  std::string label;     // empty: none
  std::string password;  // the slot's private-key password; empty: none
};

struct SimulatorOptions {
  std::vector<SimKey> keys;
  std::string msgHead;  // hexadecimal, as in quorConfig.ini; empty: none
  std::string msgTail;
  std::string store;    // an existing store to share with other simulators; empty: a new temporary store
};

// A blocking TCP connection that speaks the length-prefixed frame.
class FramedClient {
 public:
  // head and tail are bytes (not hexadecimal).
  FramedClient(uint16_t port, std::string head = {}, std::string tail = {});
  ~FramedClient();
  FramedClient(FramedClient&& other) noexcept;
  FramedClient& operator=(FramedClient&&) = delete;
  FramedClient(const FramedClient&) = delete;

  bool connected() const { return fd_ >= 0; }
  // Frames body (length, head, body, tail) and sends it.
  bool Send(std::string_view body);
  // Sends bytes exactly as given, for malformed frames.
  bool SendRaw(std::string_view bytes);
  // Reads one frame and returns its body, head and tail stripped. Nothing on
  // a closed connection, a time-out, or a head or tail that does not match.
  std::optional<std::string> Receive(int timeoutMs = 5000);
  // Reads one frame and returns everything after its 2-byte length.
  std::optional<std::string> ReceiveFrame(int timeoutMs = 5000);
  std::optional<std::string> Exchange(std::string_view body, int timeoutMs = 5000);
  // True when the peer has closed the connection (waits up to timeoutMs for it).
  bool PeerClosed(int timeoutMs = 5000);
  void Close();

 private:
  bool ReadExact(char* p, size_t n, int timeoutMs);
  int fd_ = -1;
  std::string head_, tail_;
};

// A running `quorsim serve`. The destructor stops it and removes its temporary store.
class Simulator {
 public:
  explicit Simulator(SimulatorOptions options = {});
  ~Simulator();
  Simulator(const Simulator&) = delete;
  Simulator& operator=(const Simulator&) = delete;

  uint16_t port() const { return port_; }
  uint16_t controlPort() const { return controlPort_; }
  const std::string& storePath() const { return store_; }
  pid_t pid() const { return pid_; }

  // Sends one control line and returns the reply: its data lines and the final "ok" or "error ..." line.
  std::string Control(const std::string& line);
  // Control() and true when the reply ended with "ok".
  bool ControlOk(const std::string& line);
  // The bodies of the requests recorded by the simulator, oldest first.
  std::vector<std::string> Requests();

  FramedClient Connect() const;

  // SIGTERM, then waits (SIGKILL after 10 s). Returns the exit status as waitpid reports it; idempotent.
  int Stop();
  // SIGKILL and wait.
  void Kill();

  // Path of the quorsim binary; Run executes it with arguments and returns its exit code.
  static std::string Binary();
  static int Run(const std::vector<std::string>& args, std::string* out = nullptr, std::string* err = nullptr);
  // Makes a new store at path and adds keys to it.
  static void Provision(const std::string& store, const std::vector<SimKey>& keys);

  struct HostEntry;
  HostEntry Host() const;

 private:
  SimulatorOptions opt_;
  std::string tempDir_;
  std::string store_;
  pid_t pid_ = -1;
  int stdoutFd_ = -1;
  int controlFd_ = -1;
  uint16_t port_ = 0, controlPort_ = 0;
};

// One [Host N] section of quorConfig.ini.
struct Simulator::HostEntry {
  std::string ip = "127.0.0.1";
  uint16_t port = 0;
  std::string msgHead, msgTail;  // hexadecimal
  unsigned timeout = 3;          // seconds
  unsigned minConn = 2;
  unsigned maxConn = 16;
  std::string model = "quorsim";
};
using HostEntry = Simulator::HostEntry;

struct ClientConfigOptions {
  std::string logPath;  // empty: dir/quor.log
  int logLevel = 1;
  int mechanism = 1;    // 1 round robin over live hosts, 2 first live host
  int allHostAliveStart = 1;
};

// Writes dir/quorConfig.ini with one [Host N] section per entry, in order; returns its path.
std::string WriteClientConfig(const std::string& dir, const std::vector<HostEntry>& hosts,
                              const ClientConfigOptions& options = {});

// A new empty temporary directory; the caller removes it.
std::string MakeTempDir();

}  // namespace QuorTest
