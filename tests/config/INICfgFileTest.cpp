// Configuration schema: defaults, conversions, checks, host and group
// enumeration, and the init-failure record.
#include <gtest/gtest.h>
#include <unistd.h>

#include <functional>
#include <ostream>
#include <regex>
#include <string>
#include <vector>

#include "TempDir.h"
#include "config/INICfgFile.h"

namespace {

using Quor::Base::HostConfig;
using Quor::Base::INICfgFile;

const char kHost1[] = "[Host 1]\nmodel=M1\nip=10.0.0.1\nport=8000\n";

std::string WithHost1(const std::string& rest) { return std::string("{") + kHost1 + rest + "}"; }

std::pair<int32_t, std::string> Failure(const std::string& pathOrText) {
  try {
    INICfgFile cfg(pathOrText);
  } catch (const Quor::Exception& e) {
    return {e.Code(), e.what()};
  }
  return {-1, ""};
}

TEST(CfgDefaultsTest, OnlyRequiredKeys) {
  const INICfgFile cfg(WithHost1(""));
  EXPECT_EQ(cfg.logger.level, 1);
  EXPECT_EQ(cfg.logger.path, "quor.log");
  EXPECT_EQ(cfg.logger.maxSize, 1024);
  EXPECT_EQ(cfg.logger.backupNum, 10);
  EXPECT_EQ(cfg.logger.sm2PubKey, "");
  EXPECT_EQ(cfg.mechanism, 1);
  EXPECT_FALSE(cfg.http);
  EXPECT_TRUE(cfg.allHostAliveStart);
  EXPECT_FALSE(cfg.session);
  ASSERT_EQ(cfg.hosts.size(), 1u);
  const HostConfig& h = cfg.hosts[0];
  EXPECT_EQ(h.number, 1);
  EXPECT_EQ(h.model, "M1");
  EXPECT_EQ(h.ip, "10.0.0.1");
  EXPECT_EQ(h.port, 8000);
  EXPECT_EQ(h.timeout, 10u);
  EXPECT_EQ(h.minConn, 10u);
  EXPECT_EQ(h.maxConn, 30);
  EXPECT_EQ(h.protocol, 1u);
  EXPECT_EQ(h.msgHead, "");
  EXPECT_EQ(h.msgTail, "");
  EXPECT_EQ(h.sysname, "");
  EXPECT_TRUE(cfg.groups.empty());
  // The parser's operations stay available.
  EXPECT_EQ(cfg.GetValues("Host 1", "ip").front(), "10.0.0.1");
}

// ---- Values that load --------------------------------------------------------

struct ValueCase {
  const char* name;
  std::string text;
  std::function<void(const INICfgFile&)> check;
  friend void PrintTo(const ValueCase& c, std::ostream* os) { *os << c.name; }
};

class CfgValueTest : public ::testing::TestWithParam<ValueCase> {};

TEST_P(CfgValueTest, ReadsAndConverts) { GetParam().check(INICfgFile(GetParam().text)); }

const HostConfig& H1(const INICfgFile& c) { return c.hosts.at(0); }

INSTANTIATE_TEST_SUITE_P(
    Values, CfgValueTest,
    ::testing::Values(
        ValueCase{"LoggerAndGlobal",
                  WithHost1("[Logger]\nlevel=5\npath = /var/log/q.log\nmaxSize=1\nbackupNum=0\nsm2PubKey=04AB\n"
                            "[Global]\nmechanism=2\nhttp=1\nallHostAliveStart=0\nsession=1\n"),
                  [](const INICfgFile& c) {
                    EXPECT_EQ(c.logger.level, 5);
                    EXPECT_EQ(c.logger.path, "/var/log/q.log");
                    EXPECT_EQ(c.logger.maxSize, 1);
                    EXPECT_EQ(c.logger.backupNum, 0);
                    EXPECT_EQ(c.logger.sm2PubKey, "04AB");
                    EXPECT_EQ(c.mechanism, 2);
                    EXPECT_TRUE(c.http);
                    EXPECT_FALSE(c.allHostAliveStart);
                    EXPECT_TRUE(c.session);
                  }},
        ValueCase{"NumbersReadLikeAtol", WithHost1("[Logger]\nlevel= 3abc\nbackupNum=abc\nmaxSize=+7\n"),
                  [](const INICfgFile& c) {
                    EXPECT_EQ(c.logger.level, 3);
                    EXPECT_EQ(c.logger.backupNum, 0);
                    EXPECT_EQ(c.logger.maxSize, 7);
                  }},
        ValueCase{"FirstOfRepeatedKey", WithHost1("[Logger]\nlevel=2\nlevel=4\n"),
                  [](const INICfgFile& c) { EXPECT_EQ(c.logger.level, 2); }},
        ValueCase{"EmptyLoggerSectionKeepsDefaults", WithHost1("[Logger]\n[Global]\n"),
                  [](const INICfgFile& c) {
                    EXPECT_EQ(c.logger.path, "quor.log");
                    EXPECT_EQ(c.mechanism, 1);
                  }},
        ValueCase{"MinConnAloneSetsMaxConn", WithHost1("minConn=5\n"),
                  [](const INICfgFile& c) {
                    EXPECT_EQ(H1(c).minConn, 5u);
                    EXPECT_EQ(H1(c).maxConn, 5);
                  }},
        ValueCase{"MaxConnAloneKeepsMinConn", WithHost1("maxConn=40\n"),
                  [](const INICfgFile& c) {
                    EXPECT_EQ(H1(c).minConn, 10u);
                    EXPECT_EQ(H1(c).maxConn, 40);
                  }},
        ValueCase{"MaxConnAfterMinConnInFile", WithHost1("maxConn=6\nminConn=6\n"),
                  [](const INICfgFile& c) { EXPECT_EQ(H1(c).maxConn, 6); }},
        // Range checks the schema does not make: values load as converted.
        ValueCase{"PortIsLow16Bits", "{[Host 1]\nmodel=M\nip=h\nport=70000}",
                  [](const INICfgFile& c) { EXPECT_EQ(H1(c).port, 70000 - 65536); }},
        ValueCase{"PortZeroAndNegative", "{[Host 1]\nmodel=M\nip=h\nport=0\n[Host 2]\nmodel=M\nip=h\nport=-1}",
                  [](const INICfgFile& c) {
                    EXPECT_EQ(c.hosts.at(0).port, 0);
                    EXPECT_EQ(c.hosts.at(1).port, 65535);
                  }},
        ValueCase{"UnsignedFieldsWrap", WithHost1("timeout=-1\nminConn=-2\n"),
                  [](const INICfgFile& c) {
                    EXPECT_EQ(H1(c).timeout, 4294967295u);
                    EXPECT_EQ(H1(c).minConn, 4294967294u);
                    EXPECT_EQ(H1(c).maxConn, -2);
                  }},
        ValueCase{"TimeoutZero", WithHost1("timeout=0\n"), [](const INICfgFile& c) { EXPECT_EQ(H1(c).timeout, 0u); }},
        // Negative maxConn is not below minConn as an unsigned number.
        ValueCase{"NegativeMaxConn", WithHost1("maxConn=-1\n"),
                  [](const INICfgFile& c) { EXPECT_EQ(H1(c).maxConn, -1); }},
        ValueCase{"MaxConnZeroWithMinConnZero", WithHost1("minConn=0\nmaxConn=0\n"),
                  [](const INICfgFile& c) { EXPECT_EQ(H1(c).maxConn, 0); }},
        ValueCase{"HexFraming", WithHost1("msgHead=0a0B\nmsgTail=FF00\n"),
                  [](const INICfgFile& c) {
                    EXPECT_EQ(H1(c).msgHead, std::string("\x0A\x0B", 2));
                    EXPECT_EQ(H1(c).msgTail, std::string("\xFF\x00", 2));
                  }},
        ValueCase{"RsaTls",
                  WithHost1("protocol=2\nrsaPfxPath=c.pfx\nrsaPfxPwd=pw\ncaCertPath=ca.pem\nsm2SigPfxPath=s\n"),
                  [](const INICfgFile& c) {
                    EXPECT_EQ(H1(c).protocol, 2u);
                    EXPECT_EQ(H1(c).rsaPfxPath, "c.pfx");
                    EXPECT_EQ(H1(c).rsaPfxPwd, "pw");
                    EXPECT_EQ(H1(c).caCertPath, "ca.pem");
                    EXPECT_EQ(H1(c).sm2SigPfxPath, "");
                  }},
        ValueCase{"RsaTlsWithoutPfxNeedsNoPassword", WithHost1("protocol=2\nrsaPfxPwd=pw\n"),
                  [](const INICfgFile& c) { EXPECT_EQ(H1(c).rsaPfxPwd, ""); }},
        ValueCase{"Sm2Tls",
                  WithHost1("protocol=4\nsm2SigPfxPath=s.pfx\nsm2SigPfxPwd=sp\nsm2EncPfxPath=e.pfx\n"
                            "sm2EncPfxPwd=ep\ncaCertPath=ca\nrsaPfxPath=r\n"),
                  [](const INICfgFile& c) {
                    EXPECT_EQ(H1(c).sm2SigPfxPath, "s.pfx");
                    EXPECT_EQ(H1(c).sm2SigPfxPwd, "sp");
                    EXPECT_EQ(H1(c).sm2EncPfxPath, "e.pfx");
                    EXPECT_EQ(H1(c).sm2EncPfxPwd, "ep");
                    EXPECT_EQ(H1(c).caCertPath, "ca");
                    EXPECT_EQ(H1(c).rsaPfxPath, "");
                  }},
        // The encryption pair is read only after a signing pair.
        ValueCase{"Sm2EncWithoutSigIsNotRead", WithHost1("protocol=4\nsm2EncPfxPath=e.pfx\n"),
                  [](const INICfgFile& c) { EXPECT_EQ(H1(c).sm2EncPfxPath, ""); }},
        ValueCase{"PlainTcpReadsNoTlsKeys", WithHost1("protocol=1\nrsaPfxPath=c.pfx\nsm2SigPfxPath=s\ncaCertPath=ca\n"),
                  [](const INICfgFile& c) {
                    EXPECT_EQ(H1(c).rsaPfxPath, "");
                    EXPECT_EQ(H1(c).sm2SigPfxPath, "");
                    EXPECT_EQ(H1(c).caCertPath, "");
                  }},
        ValueCase{"SysnameAndSignkey", WithHost1("sysname=sys\nsignkey=k1\n"),
                  [](const INICfgFile& c) {
                    EXPECT_EQ(H1(c).sysname, "sys");
                    EXPECT_EQ(H1(c).signkey, "k1");
                  }},
        ValueCase{"SignkeyWithoutSysnameIgnored", WithHost1("signkey=k1\n"),
                  [](const INICfgFile& c) { EXPECT_EQ(H1(c).signkey, ""); }},
        ValueCase{"HostsWithoutGapsOnly",
                  WithHost1("[Host 2]\nmodel=M2\nip=h2\nport=2\n[Host 4]\nmodel=M4\nip=h4\nport=4\n"),
                  [](const INICfgFile& c) {
                    ASSERT_EQ(c.hosts.size(), 2u);
                    EXPECT_EQ(c.hosts[1].number, 2);
                    EXPECT_EQ(c.hosts[1].model, "M2");
                  }},
        ValueCase{"HostNumberWithLeadingZeroIsNotAHost", WithHost1("[Host 02]\nmodel=M2\n"),
                  [](const INICfgFile& c) { EXPECT_EQ(c.hosts.size(), 1u); }},
        ValueCase{"Groups",
                  WithHost1("[Host 2]\nmodel=M2\nip=h2\nport=2\n[Group 1]\nhost = 1, 2\n[Group 2]\nhost=2,2,1\n"
                            "[Group 4]\nhost=1\n"),
                  [](const INICfgFile& c) {
                    EXPECT_EQ(c.groups, (std::vector<std::vector<size_t>>{{0, 1}, {1, 1, 0}}));
                  }},
        ValueCase{"GroupsStartAtOne", WithHost1("[Group 2]\nhost=1\n"),
                  [](const INICfgFile& c) { EXPECT_TRUE(c.groups.empty()); }},
        ValueCase{"UnknownSectionsAndKeysIgnored", WithHost1("colour=blue\n[Extra]\nlevel=99\n"),
                  [](const INICfgFile& c) { EXPECT_EQ(c.logger.level, 1); }}),
    [](const auto& info) { return std::string(info.param.name); });

// ---- Failures -----------------------------------------------------------------

struct FailCase {
  const char* name;
  std::string text;
  int32_t code;
  const char* message;
  friend void PrintTo(const FailCase& c, std::ostream* os) { *os << c.name; }
};

class CfgFailTest : public ::testing::TestWithParam<FailCase> {};

TEST_P(CfgFailTest, Throws) {
  EXPECT_EQ(Failure(GetParam().text), std::make_pair(GetParam().code, std::string(GetParam().message)));
}

constexpr char kInvalid[] = "There is an invalid config value";
constexpr char kNoKey[] = "The key doesn't exist";

FailCase Bad(const char* name, const std::string& rest) { return {name, WithHost1(rest), 301, kInvalid}; }
FailCase Missing(const char* name, const std::string& text) { return {name, text, 107, kNoKey}; }

INSTANTIATE_TEST_SUITE_P(
    Errors, CfgFailTest,
    ::testing::Values(
        Bad("LevelZero", "[Logger]\nlevel=0\n"), Bad("LevelSix", "[Logger]\nlevel=6\n"),
        Bad("LevelNotANumber", "[Logger]\nlevel=abc\n"),
        // A number too large for the field must not wrap into the valid range.
        Bad("LevelWrapsToValid", "[Logger]\nlevel=4294967297\n"), Bad("MaxSizeZero", "[Logger]\nmaxSize=0\n"),
        Bad("MaxSizeBeyond32Bits", "[Logger]\nmaxSize=2147483648\n"),
        Bad("BackupNumNegative", "[Logger]\nbackupNum=-1\n"), Bad("MechanismZero", "[Global]\nmechanism=0\n"),
        Bad("MechanismThree", "[Global]\nmechanism=3\n"), Bad("HttpTwo", "[Global]\nhttp=2\n"),
        Bad("AllHostAliveStartNegative", "[Global]\nallHostAliveStart=-1\n"),
        Bad("SessionTwo", "[Global]\nsession=2\n"), Bad("MaxConnBelowMinConn", "minConn=5\nmaxConn=4\n"),
        Bad("MaxConnZeroBelowDefault", "maxConn=0\n"), Bad("MsgHeadOddLength", "msgHead=0a0\n"),
        Bad("MsgHeadNotHex", "msgHead=0g\n"), Bad("MsgTailNotHex", "msgTail=0x01\n"),
        Bad("ProtocolThree", "protocol=3\n"), Bad("ProtocolZero", "protocol=abc\n"),
        Bad("ProtocolWrapsToValid", "protocol=4294967297\n"), Bad("GroupEmptyPiece", "[Group 1]\nhost=1,,1\n"),
        Bad("GroupSemicolon", "[Group 1]\nhost=1;1\n"), Bad("GroupZero", "[Group 1]\nhost=0\n"),
        Bad("GroupPastLastHost", "[Group 1]\nhost=2\n"), Bad("GroupSigned", "[Group 1]\nhost=+1\n"),
        Bad("GroupTrailingComma", "[Group 1]\nhost=1,\n"), Bad("GroupHugeNumber", "[Group 1]\nhost=4294967297\n"),
        Bad("GroupAfterGoodGroup", "[Group 1]\nhost=1\n[Group 2]\nhost=x\n"),
        Missing("NoModel", "{[Host 1]\nip=h\nport=1}"), Missing("NoIp", "{[Host 1]\nmodel=M\nport=1}"),
        Missing("NoPort", "{[Host 1]\nmodel=M\nip=h}"),
        Missing("LaterHostNoPort", WithHost1("[Host 2]\nmodel=M\nip=h\n")),
        Missing("RsaPfxWithoutPassword", WithHost1("protocol=2\nrsaPfxPath=c.pfx\n")),
        Missing("Sm2SigWithoutPassword", WithHost1("protocol=4\nsm2SigPfxPath=s.pfx\n")),
        Missing("Sm2EncWithoutPassword", WithHost1("protocol=4\nsm2SigPfxPath=s\nsm2SigPfxPwd=p\nsm2EncPfxPath=e\n")),
        Missing("SysnameWithoutSignkey", WithHost1("sysname=sys\n")),
        Missing("GroupWithoutHost", WithHost1("[Group 1]\nhosts=1\n")),
        FailCase{"NoHost1", "{[Logger]\nlevel=1\n[Host 2]\nmodel=M\nip=h\nport=1}", 104, "The section doesn't exist"},
        FailCase{"HostSectionIsCaseSensitive", "{[host 1]\nmodel=M\nip=h\nport=1}", 104, "The section doesn't exist"},
        FailCase{"EmptyText", "{}", 104, "The section doesn't exist"},
        FailCase{"FormatErrorPassesThrough", WithHost1("[Logger]\nlevel\n"), 103, "Format error at line [6]"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(CfgFileTest, MissingFileIs102) {
  QuorTest::TempDir dir;
  EXPECT_EQ(Failure(dir.File("none.ini")), std::make_pair(102, std::string("Open file failed")));
}

// The shipped example must load and hold the defaults it documents.
TEST(CfgFileTest, ExampleFileLoadsWithDefaults) {
  const INICfgFile cfg(QUOR_EXAMPLE_CONFIG);
  EXPECT_EQ(cfg.logger.level, 1);
  EXPECT_EQ(cfg.logger.path, "quor.log");
  EXPECT_EQ(cfg.logger.maxSize, 1024);
  EXPECT_EQ(cfg.logger.backupNum, 10);
  EXPECT_EQ(cfg.mechanism, 1);
  EXPECT_FALSE(cfg.http);
  EXPECT_TRUE(cfg.allHostAliveStart);
  EXPECT_FALSE(cfg.session);
  ASSERT_EQ(cfg.hosts.size(), 1u);
  EXPECT_EQ(cfg.hosts[0].timeout, 10u);
  EXPECT_EQ(cfg.hosts[0].minConn, 10u);
  EXPECT_EQ(cfg.hosts[0].maxConn, 30);
  EXPECT_EQ(cfg.hosts[0].protocol, 1u);
  const std::string text = QuorTest::ReadFile(QUOR_EXAMPLE_CONFIG);
  for (const char* key : {"path",
                          "level",
                          "maxSize",
                          "backupNum",
                          "sm2PubKey",
                          "mechanism",
                          "http",
                          "allHostAliveStart",
                          "session",
                          "model",
                          "ip",
                          "port",
                          "timeout",
                          "minConn",
                          "maxConn",
                          "msgHead",
                          "msgTail",
                          "protocol",
                          "rsaPfxPath",
                          "rsaPfxPwd",
                          "sm2SigPfxPath",
                          "sm2SigPfxPwd",
                          "sm2EncPfxPath",
                          "sm2EncPfxPwd",
                          "caCertPath",
                          "sysname",
                          "signkey",
                          "host"}) {
    const bool shown = text.find(std::string("\n") + key + " =") != std::string::npos ||
                       text.find(std::string("\n;") + key + " =") != std::string::npos;
    EXPECT_TRUE(shown) << key << " is not shown";
  }
}

// ---- Init-failure record -------------------------------------------------------

// Splits the record into its three lines after checking the common head:
// "[ERROR]<" timestamp ">| ", one timestamp for all three lines.
std::vector<std::string> RecordTails(const std::string& record) {
  static const std::regex head(R"(\[ERROR\]<(\d{4}-\d\d-\d\d_\d\d:\d\d:\d\d\.\d{3})>\| )");
  std::smatch m;
  EXPECT_TRUE(std::regex_search(record, m, head, std::regex_constants::match_continuous)) << record;
  if (m.empty()) return {};
  const std::string prefix = m.str(0);
  std::vector<std::string> tails;
  size_t pos = 0;
  for (const char* label : {"Failed config file or content: ", "Error code: ", "Error reason: "}) {
    const std::string start = prefix + label;
    EXPECT_EQ(record.compare(pos, start.size(), start), 0) << record;
    pos += start.size();
    // The content line may hold line breaks of its own: the next line is
    // found by the next head.
    const size_t next = record.find("\n" + prefix, pos);
    const size_t end = next == std::string::npos ? record.size() : next + 1;
    tails.push_back(record.substr(pos, end - pos));
    pos = end;
  }
  EXPECT_EQ(pos, record.size());
  return tails;
}

TEST(InitFailureTest, ThreeLinesWithOneTimestamp) {
  QuorTest::TempDir dir;
  const std::string file = dir.File("rec.log");
  QuorTest::WriteFile(file, std::string(500, 'x'));  // an earlier, longer record
  Quor::Base::WriteInitFailureTo(file, "./cfg.ini", 103, "Format error at line [4]");
  EXPECT_EQ(RecordTails(QuorTest::ReadFile(file)),
            (std::vector<std::string>{"./cfg.ini\n", "103\n", "Format error at line [4]\n"}));
}

TEST(InitFailureTest, BracedTextIsWrittenWhole) {
  QuorTest::TempDir dir;
  const std::string file = dir.File("rec.log");
  const std::string text = "{[Host 1]\r\nmodel=M\nip=h}";
  Quor::Base::WriteInitFailureTo(file, text, -5, nullptr);
  EXPECT_EQ(RecordTails(QuorTest::ReadFile(file)), (std::vector<std::string>{text + "\n", "-5\n", "\n"}));
}

TEST(InitFailureTest, UnopenableFileIsSilentlySkipped) {
  QuorTest::TempDir dir;
  Quor::Base::WriteInitFailureTo(dir.File("no/such/dir/rec.log"), "x", 1, "m");
  Quor::Base::WriteInitFailureTo(dir.Path().string(), "x", 1, "m");  // a directory
  SUCCEED();
}

// The record a failed configuration leaves, written in the working directory.
TEST(InitFailureTest, WritesInWorkingDirectoryFromAFailedLoad) {
  QuorTest::TempDir dir;
  const std::string saved = std::filesystem::current_path().string();
  ASSERT_EQ(chdir(dir.Path().c_str()), 0);
  QuorTest::WriteFile("cfg.ini", "# c\n[Host 1]\nmodel=M\nip\n");
  QuorTest::WriteFile("nokey.ini", "[Host 1]\nmodel=M\nip=h\n");
  std::vector<std::vector<std::string>> records;
  for (const std::string path : {"./cfg.ini", "./nokey.ini"}) {
    try {
      INICfgFile cfg(path);
      ADD_FAILURE() << path << " loaded";
    } catch (const Quor::Exception& e) {
      Quor::Base::WriteInitFailure(path, e.Code(), e.what());
    }
    records.push_back(RecordTails(QuorTest::ReadFile("quor_init_failed.log")));
  }
  ASSERT_EQ(chdir(saved.c_str()), 0);
  EXPECT_EQ(records[0], (std::vector<std::string>{"./cfg.ini\n", "103\n", "Format error at line [4]\n"}));
  EXPECT_EQ(records[1], (std::vector<std::string>{"./nokey.ini\n", "107\n", "The key doesn't exist\n"}));
}

}  // namespace
