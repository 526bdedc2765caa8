// The publisher pin of a test build (ORV_TEST_PUBLISHER_PIN): the downloaded installer, whose
// CRC-32 and SHA-256 match, must also carry a signature by the pinned certificate, which the
// test CA (trusted in the prefix) issued; osslsigncode signs the demo installer on the host.
#include <algorithm>

#include "certs.h"
#include "stub_fixture.h"

namespace bed {
namespace {

using PublisherRun = StubTest;

// The SHA-256 of the DER encoding of the certificate in pemFile, as 64 hexadecimal digits.
std::string CertificateSha256(const std::string& pemFile) {
  const ProcessResult der = RunProcess({"openssl", "x509", "-in", pemFile, "-outform", "DER"}, 30000);
  return der.status == 0 && !der.out.empty() ? Sha256HexOf(der.out) : "";
}

// The demo installer signed (SHA-256 digest) with a signer's certificate and key.
std::string SignedInstaller(SignerKind signer, const std::string& name) {
  const std::string certs = GetBed().certs;
  const std::string in = GetBed().winBuild + "/tests/demo_installer.exe";
  const std::string out = GetBed().out + "/" + name;
  RemoveFile(out);
  const ProcessResult signing = RunProcess({"osslsigncode", "sign", "-certs", CertFile(certs, signer), "-key",
                                            KeyFile(certs, signer), "-h", "sha256", "-in", in, "-out", out},
                                           60000);
  EXPECT_EQ(signing.status, 0) << signing.out << signing.err;
  std::string bytes;
  EXPECT_TRUE(ReadFile(out, bytes)) << out;
  return bytes;
}

TEST_F(PublisherRun, OnlyTheUnchangedInstallerSignedByThePinnedCertificateRuns) {
  const std::string certs = GetBed().certs;
  ASSERT_TRUE(FileExists(CertFile(certs, SignerKind::Publisher))) << "test bed certificates predate the signers";
  const std::string pin = CertificateSha256(CertFile(certs, SignerKind::Publisher));
  const std::string otherHash = CertificateSha256(CertFile(certs, SignerKind::OtherPublisher));
  ASSERT_EQ(pin.size(), 64u);
  std::string unsignedBytes;
  ASSERT_TRUE(ReadFile(GetBed().winBuild + "/tests/demo_installer.exe", unsignedBytes));
  const std::string signedBytes = SignedInstaller(SignerKind::Publisher, "publisher-signed.exe");
  const std::string otherBytes = SignedInstaller(SignerKind::OtherPublisher, "other-signed.exe");
  ASSERT_NE(signedBytes, unsignedBytes);
  // Changed after signing: four bytes of code, past the headers that the signature leaves out.
  std::string tampered = signedBytes;
  std::fill_n(tampered.begin() + 0x1000, 4, '\xcc');
  ASSERT_NE(tampered, signedBytes);

  struct Case {
    const char* name;
    const std::string& installer;
    uint32_t exitCode;
    std::string line;  // the log line the check leaves
  };
  const std::string mismatch = "Mismatch of the wrapper publisher: ";
  const Case cases[] = {
      {"signed by the pinned certificate", signedBytes, 0, "Wrapper signed by the pinned publisher"},
      {"signed by another certificate of the same CA", otherBytes, 6,
       mismatch + "signed by another publisher (certificate SHA-256 " + otherHash + ")"},
      {"unsigned", unsignedBytes, 6, mismatch + "unsigned (trust result 0x800B0100)"},
      {"changed after signing", tampered, 6, mismatch + "signature invalid (trust result 0x80096010)"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    ClearLog();
    ClearTemp();
    RenewFiles();
    ServeFile("/setup.exe", c.installer);
    ServeConfig(ConfigFor(false, FilesUrl("/setup.exe"), c.installer, "1.0"));
    StubOptions options;
    options.env = {{"ORV_DEMO_EXIT_CODE", "0"}, {"ORV_TEST_PUBLISHER_PIN", pin}};
    const StubRun run = RunStub(options);
    ASSERT_TRUE(run.watched) << run.report;
    EXPECT_EQ(run.exitCode, c.exitCode) << LogDump();
    const std::vector<std::string> messages = LogMessages();
    EXPECT_NE(std::find(messages.begin(), messages.end(), c.line), messages.end()) << LogDump();
    if (c.exitCode == 0) {
      EXPECT_TRUE(run.boxes.empty()) << run.report;
      EXPECT_NE(std::find(messages.begin(), messages.end(), "Tavlin wrapper exiting"), messages.end()) << LogDump();
    } else {
      EXPECT_EQ(run.boxes.size(), 1u) << run.report;
      if (!run.boxes.empty()) EXPECT_EQ(run.boxes[0].text, "The installation file is corrupted. Error code 6");
      EXPECT_EQ(messages.empty() ? "" : messages.back(), c.line) << LogDump();
    }
  }
}

}  // namespace
}  // namespace bed
