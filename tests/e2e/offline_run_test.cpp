// A layout that the signed stub writes with -layout installs, with no server answering, from a run
// of the layout's own stub with -source; whatever was changed in the folder after it was written
// runs nothing. Each switch and its folder are cut from the installer's command line, the rest
// reaches it as it was given.
#include <filesystem>
#include <functional>

#include "installer_run_fixture.h"
#include "signed_documents.h"

namespace bed {
namespace {

// Replaces the first from in the file at path with to, of the same length; false when absent.
bool ChangeFile(const std::string& path, const std::string& from, const std::string& to) {
  std::string bytes;
  if (!ReadFile(path, bytes)) return false;
  const size_t at = bytes.find(from);
  if (at == std::string::npos) return false;
  bytes.replace(at, from.size(), to);
  return WriteFile(path, bytes);
}

class OfflineRun : public InstallerRunTest {
 protected:
  void SetUp() override {
    InstallerRunTest::SetUp();
    ForgetAcceptedSerials();
  }

  static constexpr char kProduct[] = "Offline One";

  StubOptions SignedOptions(std::vector<std::string> args, const std::string& stub) const {
    StubOptions options = Options("0", std::move(args));
    options.stub = stub;
    options.env["ORV_TEST_PRODUCT"] = kProduct;
    return options;
  }
};

TEST_F(OfflineRun, ALayoutInstallsWithoutTheNetworkFromAnotherRunAndAChangedOneRunsNothing) {
  const std::string document =
      SignableDocument(FilesUrl("/setup.exe"), installer_, kProduct, 1, "2099-01-01T00:00:00Z");
  const std::string signature = Sign(document, {"first"});
  TestServer config(CertKind::Trusted);
  config.server().Get("/orv.json", [document](const httplib::Request&, httplib::Response& response) {
    response.set_content(document, "application/json");
  });
  config.server().Get("/orv.json.sig", [signature](const httplib::Request&, httplib::Response& response) {
    response.set_content(signature, "text/plain");
  });
  ASSERT_TRUE(config.Start());
  ServeFile("/setup.exe", installer_);

  const std::string layout = GetBed().out + "/offline-layout";
  std::filesystem::remove_all(layout);
  NextStubEndpoints().configPort = config.port();
  const StubRun written = RunStub(SignedOptions({"/S", "-LAYOUT", WinPath(layout)}, "orvsetup_signed.exe"));
  ASSERT_TRUE(written.watched) << written.report;
  ASSERT_EQ(written.exitCode, 0u) << LogDump();
  EXPECT_FALSE(ReadLaunch().recorded) << "a layout starts nothing";
  std::string stub;
  ASSERT_TRUE(ReadFile(GetBed().winBuild + "/tests/orvsetup_signed.exe", stub));
  const std::pair<const char*, const std::string*> layoutFiles[] = {
      {"orv.json", &document}, {"orv.json.sig", &signature}, {"installer.exe", &installer_}, {"orvsetup.exe", &stub}};
  for (const auto& [name, expected] : layoutFiles) {
    std::string bytes;
    ASSERT_TRUE(ReadFile(layout + "/" + name, bytes)) << name << "\n" << LogDump();
    EXPECT_TRUE(bytes == *expected) << name << " is not the bytes received or run, " << bytes.size() << " bytes";
  }
  const size_t installerRequests = files_->Count("/setup.exe");
  ASSERT_EQ(installerRequests, 1u);

  struct Case {
    const char* name;
    std::function<bool(const std::string& folder)> change;  // applied to a fresh copy of the layout
    std::string stub;                                        // "": the layout's own copy
    uint32_t code;
    std::string error;  // the run's first error line ("" when it installs)
  };
  const Case cases[] = {
      {"the layout as written", [](const std::string&) { return true; }, "", 0, ""},
      {"installer.exe changed",
       [&](const std::string& folder) {
         return ChangeFile(folder + "/installer.exe", installer_.substr(installer_.size() / 2, 4), "orv!");
       },
       "", 6, "Mismatch of the wrapper checksum"},
      {"orv.json changed after signing",
       [](const std::string& folder) {
         return ChangeFile(folder + "/orv.json", "\"version\": \"1.0\"", "\"version\": \"6.6\"");
       },
       "", 3, "Configuration signature refused: its sha256 line does not match the configuration's bytes"},
      {"a stub built without keys", [](const std::string&) { return true; }, "orvsetup.exe", 8,
       "-layout and -source need a build that checks the configuration's signature"},
  };
  const std::string source = GetBed().out + "/offline-source";
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    std::filesystem::remove_all(source);
    std::filesystem::copy(layout, source);
    ASSERT_TRUE(c.change(source));
    ClearLog();
    RemoveFile(record_);
    NextStubEndpoints() = {};  // the configuration's address leads nowhere
    const StubRun run = RunStub(SignedOptions({"/S", "-sOuRcE", WinPath(source), "--lang=de"},
                                              c.stub.empty() ? source + "/orvsetup.exe" : c.stub));
    ASSERT_TRUE(run.watched) << run.report;
    EXPECT_EQ(run.exitCode, c.code) << LogDump();
    const std::string error = FirstError();
    EXPECT_EQ(error.substr(0, c.error.size()), c.error) << LogDump();
    EXPECT_EQ(error.empty(), c.error.empty()) << LogDump();
    EXPECT_EQ(files_->Count("/setup.exe"), installerRequests) << "no request for the installer";
    const Launch launch = ReadLaunch();
    EXPECT_EQ(launch.recorded, c.error.empty()) << LogDump();
    if (launch.recorded) {
      EXPECT_EQ(launch.rest, "-v \"1.0\" /S --lang=de");
      EXPECT_EQ(launch.installerPath.find(WinPath(source)), std::string::npos)
          << launch.installerPath << ": the checked copy runs, not the folder's file";
    }
  }
}

}  // namespace
}  // namespace bed
