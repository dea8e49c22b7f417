// quorsim: a device host simulator. Subcommands: init, key add, key list, serve.
#include <signal.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <map>
#include <string>
#include <vector>

#include "common/Hex.h"
#include "simulator/AsymProvision.h"
#include "simulator/Server.h"
#include "simulator/Store.h"

using namespace QuorSim;

namespace {

const char kUsage[] =
    "usage:\n"
    "  quorsim init --store PATH\n"
    "  quorsim key add --store PATH --slot N [--type TYPE] [--hex KEY] [--label TEXT] [--password PW]\n"
    "      TYPE: sm4 aes128 aes192 aes256 des 3des2 3des3 (a random key unless --hex)\n"
    "  quorsim key add --store PATH --slot N --type sm2|rsa1024|rsa2048|rsa3072|rsa4096 [--pem FILE]\n"
    "                  [--usage sign|enc|both] [--label TEXT] [--password PW]\n"
    "  quorsim key export --store PATH --slot N --type sm2|rsa --usage sign|enc\n"
    "  quorsim key list --store PATH\n"
    "  quorsim serve --store PATH --listen HOST:PORT [--control HOST:PORT] [--msg-head HEX] [--msg-tail HEX]\n"
    "                [--exit-with-parent yes]\n";

int Fail(const std::string& msg) {
  std::fprintf(stderr, "quorsim: %s\n", msg.c_str());
  return 1;
}

// --name value pairs; false on a stray argument or a missing value.
bool ParseOptions(int argc, char** argv, int first, std::map<std::string, std::string>* out, std::string* err) {
  for (int i = first; i < argc; i += 2) {
    const std::string name = argv[i];
    if (name.rfind("--", 0) != 0 || i + 1 >= argc) {
      *err = "bad argument '" + name + "'";
      return false;
    }
    (*out)[name.substr(2)] = argv[i + 1];
  }
  return true;
}

bool CheckKnown(const std::map<std::string, std::string>& o, std::initializer_list<const char*> known,
                std::string* err) {
  for (const auto& [k, v] : o) {
    bool found = false;
    for (const char* n : known) found = found || k == n;
    if (!found) {
      *err = "unknown option --" + k;
      return false;
    }
  }
  return true;
}

bool ParseEndpoint(const std::string& text, Endpoint* ep) {
  const auto colon = text.rfind(':');
  if (colon == std::string::npos) return false;
  std::string host = text.substr(0, colon);
  if (host.size() >= 2 && host.front() == '[' && host.back() == ']') host = host.substr(1, host.size() - 2);
  const std::string port = text.substr(colon + 1);
  if (port.empty() || port.size() > 5 || port.find_first_not_of("0123456789") != std::string::npos) return false;
  const unsigned long p = std::stoul(port);
  if (p > 65535) return false;
  ep->host = host;
  ep->port = static_cast<uint16_t>(p);
  return true;
}

struct TypeInfo {
  const char* name;
  uint32_t alg;
};
constexpr TypeInfo kTypes[] = {{"des", 0},    {"3des2", 1},  {"3des3", 2}, {"aes128", 3},
                               {"aes192", 4}, {"aes256", 5}, {"sm4", 7}};

const char* TypeName(uint32_t alg) {
  for (const auto& t : kTypes)
    if (t.alg == alg) return t.name;
  return "unknown";
}

int Init(const std::map<std::string, std::string>& o) {
  std::string err;
  if (!CheckKnown(o, {"store"}, &err)) return Fail(err);
  if (!o.count("store")) return Fail("init needs --store PATH");
  if (!Store::Create(o.at("store"), &err)) return Fail(err);
  std::printf("created store %s\n", o.at("store").c_str());
  return 0;
}

int KeyAdd(const std::map<std::string, std::string>& o) {
  std::string err;
  if (!CheckKnown(o, {"store", "slot", "type", "hex", "label", "password", "usage", "pem"}, &err)) return Fail(err);
  if (!o.count("store") || !o.count("slot")) return Fail("key add needs --store PATH and --slot N");
  const std::string& slotText = o.at("slot");
  if (slotText.empty() || slotText.size() > 5 || slotText.find_first_not_of("0123456789") != std::string::npos)
    return Fail("bad slot '" + slotText + "'");
  const uint32_t slot = static_cast<uint32_t>(std::stoul(slotText));
  if (slot == 0 || slot > kMaxSlot) return Fail("slot must be 1 to " + std::to_string(kMaxSlot));
  if (o.count("type") && IsAsymKeyType(o.at("type"))) {
    const std::string msg = AsymKeyAdd(o, slot);
    return msg.empty() ? 0 : Fail(msg);
  }
  if (o.count("pem")) return Fail("--pem needs an RSA or SM2 --type");
  std::optional<SymKey> key;
  if (o.count("type")) {
    const TypeInfo* type = nullptr;
    for (const auto& t : kTypes)
      if (o.at("type") == t.name) type = &t;
    if (!type) return Fail("unknown key type '" + o.at("type") + "'");
    SymAlg a{};
    FindSymAlg(type->alg, &a);
    key = SymKey{type->alg, {}};
    if (o.count("hex")) {
      auto bytes = Quor::HexDecodeStrict(o.at("hex"));
      if (!bytes || bytes->size() != a.keyLen)
        return Fail("--hex must be " + std::to_string(a.keyLen * 2) + " hexadecimal digits for " + type->name);
      key->key = *bytes;
    } else {
      RandomBytes(a.keyLen, &key->key);
    }
  } else if (o.count("hex") || o.count("label")) {
    return Fail("--hex and --label need --type");
  } else if (!o.count("password")) {
    return Fail("key add needs --type or --password");
  }
  const std::string label = o.count("label") ? o.at("label") : "";
  if (label.size() > kMaxLabel) return Fail("label longer than " + std::to_string(kMaxLabel) + " bytes");
  if (o.count("password") && o.at("password").size() > kMaxPassword)
    return Fail("password longer than " + std::to_string(kMaxPassword) + " bytes");
  Store store;
  if (!store.Open(o.at("store"), &err)) return Fail(err);
  const uint16_t rc = store.Modify([&](StoreData& d) -> uint16_t {
    if (!label.empty()) {
      for (const auto& [i, s] : d.slots)
        if (i != slot && s.label[0] == label) return Dev::kLabelRepeat;
    }
    Slot& s = d.slots[slot];
    if (key) {
      s.sym = key;
      s.label[0] = label;
    }
    if (o.count("password")) s.password = o.at("password");
    return Dev::kOk;
  });
  if (rc == Dev::kLabelRepeat) return Fail("label '" + label + "' is already used by another slot");
  if (rc != Dev::kOk) return Fail("cannot write store " + o.at("store"));
  return 0;
}

int KeyList(const std::map<std::string, std::string>& o) {
  std::string err;
  if (!CheckKnown(o, {"store"}, &err)) return Fail(err);
  if (!o.count("store")) return Fail("key list needs --store PATH");
  Store store;
  if (!store.Open(o.at("store"), &err)) return Fail(err);
  const auto d = store.Snapshot();
  std::printf("slot\ttype\tusage\tlabel\tcheck\tpassword\n");
  for (const auto& [index, s] : d->slots) {
    const char* pw = s.password ? "yes" : "no";
    if (s.sym) {
      SymAlg a{};
      const std::string kcv = FindSymAlg(s.sym->alg, &a) == Dev::kOk ? Quor::HexEncode(CheckValue(a, s.sym->key)) : "-";
      std::printf("%u\t%s\t-\t%s\t%s\t%s\n", index, TypeName(s.sym->alg), s.label[0].c_str(), kcv.c_str(), pw);
    }
    const char* usage[2] = {"sign", "enc"};
    for (int u = 0; u < 2; ++u) {
      if (s.rsa[u]) std::printf("%u\trsa\t%s\t%s\t-\t%s\n", index, usage[u], s.label[1].c_str(), pw);
      if (s.sm2[u]) std::printf("%u\tsm2\t%s\t%s\t-\t%s\n", index, usage[u], s.label[2].c_str(), pw);
    }
    if (!s.sym && !s.HasKeyOfType(1) && !s.HasKeyOfType(2)) std::printf("%u\t-\t-\t-\t-\t%s\n", index, pw);
  }
  return 0;
}

int Serve(const std::map<std::string, std::string>& o) {
  std::string err;
  if (!CheckKnown(o, {"store", "listen", "control", "msg-head", "msg-tail", "exit-with-parent"}, &err)) return Fail(err);
  if (!o.count("store") || !o.count("listen")) return Fail("serve needs --store PATH and --listen HOST:PORT");
  ServerOptions opt;
  if (!ParseEndpoint(o.at("listen"), &opt.listen)) return Fail("bad --listen '" + o.at("listen") + "'");
  opt.control = Endpoint{"127.0.0.1", 0};
  if (o.count("control") && !ParseEndpoint(o.at("control"), &opt.control))
    return Fail("bad --control '" + o.at("control") + "'");
  for (const char* name : {"msg-head", "msg-tail"}) {
    if (!o.count(name)) continue;
    auto bytes = Quor::HexDecodeStrict(o.at(name));
    if (!bytes || bytes->size() > 1024) return Fail(std::string("bad --") + name + " (even-length hexadecimal)");
    (std::strcmp(name, "msg-head") == 0 ? opt.head : opt.tail) = *bytes;
  }
  // Signals are taken by sigwait below; every thread inherits the mask.
  sigset_t sigs;
  sigemptyset(&sigs);
  sigaddset(&sigs, SIGTERM);
  sigaddset(&sigs, SIGINT);
  pthread_sigmask(SIG_BLOCK, &sigs, nullptr);
  signal(SIGPIPE, SIG_IGN);
  const bool watchParent = o.count("exit-with-parent") && o.at("exit-with-parent") == "yes";
  const pid_t parent = getppid();

  Store store;
  if (!store.Open(o.at("store"), &err)) return Fail(err);
  Device device(store);
  Server server(device, opt);
  if (!server.Start(&err)) return Fail(err);
  auto show = [](const std::string& h) { return h.find(':') != std::string::npos ? "[" + h + "]" : h; };
  std::printf("listening %s:%u\ncontrol %s:%u\n", show(opt.listen.host).c_str(), server.port(),
              show(opt.control.host).c_str(), server.controlPort());
  std::fflush(stdout);
  // A test that dies leaves no simulator behind: with --exit-with-parent the
  // parent is checked every second (a new parent means the old one is gone).
  const timespec second{1, 0};
  while (sigtimedwait(&sigs, nullptr, &second) < 0) {
    if (watchParent && getppid() != parent) break;
  }
  server.Stop();
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) {
    std::fputs(kUsage, stderr);
    return 2;
  }
  const std::string cmd = argv[1];
  std::map<std::string, std::string> o;
  std::string err;
  if (cmd == "init" || cmd == "serve") {
    if (!ParseOptions(argc, argv, 2, &o, &err)) return Fail(err);
    return cmd == "init" ? Init(o) : Serve(o);
  }
  if (cmd == "key" && argc >= 3) {
    const std::string sub = argv[2];
    if (!ParseOptions(argc, argv, 3, &o, &err)) return Fail(err);
    if (sub == "add") return KeyAdd(o);
    if (sub == "list") return KeyList(o);
    if (sub == "export") {
      std::string pem;
      if (!CheckKnown(o, {"store", "slot", "type", "usage"}, &err)) return Fail(err);
      if (const std::string msg = AsymKeyExport(o, &pem); !msg.empty()) return Fail(msg);
      std::fputs(pem.c_str(), stdout);
      return 0;
    }
  }
  std::fputs(kUsage, stderr);
  return 2;
}
