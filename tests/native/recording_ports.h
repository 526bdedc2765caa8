#pragma once
// A fake of the run's ports: it answers as its Scenario says and records every call, in order,
// as one line of text ("download <url> -> <path>", "INFO <message>", "box <text>", ...), the
// ends of the owning objects included ("dialog end", "unlock", "remove folder", "release").
#include <algorithm>
#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "main/run_ports.h"
#include "main/silent_run.h"
#include "text/utf8.h"

namespace orv_test {
using namespace orv;

struct Scenario {
  bool anotherStubRuns = false;
  std::optional<std::wstring> config;       // nullopt: the fetch fails
  std::string refusal;                      // with the fetch failing: the refusal it names
  std::wstring folder = L"C:\\P\\Orvandel Setup\\run0a1b2c3d\\";  // empty: no run folder
  bool noDownloadFile = false;              // the download's file cannot be made
  bool folderStays = false;                 // the run's folder cannot be removed
  unsigned cacheBuster = 7;
  std::vector<AttemptReport> downloads;     // one per attempt; attempts beyond the list complete
  bool closeDuringPause = false;            // the user closes the dialog during the first pause
  std::optional<uint32_t> crc;              // nullopt: the file cannot be opened
  Sha256Digest sha256{};                    // the file's SHA-256
  uint64_t size = 1000;                     // the file's size, as the good document gives it
  SignatureReading signature;               // what reading the file's signature gives
  std::optional<Sha256Digest> pin;          // the run's setting: the build's publisher pin
  std::optional<std::wstring> uuidText = L"6BA7B810-9DAD-11D1-80B4-00C04FD430C8";  // nullopt: fails
  bool launchFails = false;
  bool waitFails = false;
  uint32_t exitCode = 0;
  bool pageFails = false;
  std::wstring resumeFolder = L"C:\\P\\Orvandel Setup\\";
  bool resumeFolderRefused = false;         // the folder cannot be made administrators-only
  bool ownImageUnheld = false;              // the stub's own file cannot be held
  bool runsFromCopy = false;                // the stub's own file is the copy
  bool copyFails = false;
  bool linkFails = false;
  bool shortcutExists = false;
  std::vector<std::wstring> undeletable;    // paths whose deletion fails
  bool folderUnusable = false;              // the offline folder cannot be opened (or made)
  std::map<std::wstring, std::string> folderFiles;  // name -> bytes of the offline folder's files
  std::vector<std::wstring> refusedNames;   // names in the offline folder that cannot be made new
  std::vector<OldFolderRemoval> oldFolders;  // what removing the old run folders gives
  // Signed builds: the signature fetch (nullopt: it fails), the highest serial kept (nullopt:
  // none), whether reading or writing it fails, and the clock.
  std::vector<P256PublicKey> keys;           // the run's setting: the build's keys (empty: unsigned)
  std::optional<FetchedDocument> configSignature;
  std::optional<uint64_t> highestSerial;
  bool serialUnreadable = false;
  bool serialUnwritable = false;
  int64_t now = 1798761600;  // 2027-01-01T00:00:00Z
  // What the window station probe gives (the stub's start decides from it whether the run is silent).
  Result<WindowStation> station = WindowStation{L"WinSta0", kWindowStationVisible};
};

class RecordingPorts final : public RunLog,
                             public UserInterface,
                             public Network,
                             public Files,
                             public Shortcuts,
                             public Processes,
                             public ConfigTrust {
 public:
  explicit RecordingPorts(Scenario scenario) : s_(std::move(scenario)) {}
  std::vector<std::string> trace;
  RunPorts ports() { return RunPorts{*this, *this, *this, *this, *this, *this, *this}; }

  // RunLog
  void Start() override { Note("start logging"); }
  void Log(LogLevel level, const std::string& message) override {
    Note((level == LogLevel::Info ? "INFO " : level == LogLevel::Warning ? "WARNING " : "ERROR ") + message);
  }

  // UserInterface
  void ShowErrorBox(const wchar_t* text) override { Note("box " + ToUtf8(text)); }
  std::unique_ptr<ProgressScope> StartProgress() override {
    Note("dialog start");
    return std::make_unique<Progress>(*this);
  }

  // Network
  Result<std::string> FetchConfiguration() override {
    Note("fetch config");
    if (!s_.config) return Status::Failure(12029, s_.refusal);
    return ToUtf8(*s_.config);
  }
  Result<FetchedDocument> FetchConfigurationSignature() override {
    Note("fetch signature");
    if (!s_.configSignature) return Status::Failure(12029, "");
    return *s_.configSignature;
  }
  unsigned DrawCacheBuster() override { return s_.cacheBuster; }
  std::unique_ptr<DownloadTransfer> OpenTransfer(DownloadFile& file, const DownloadTimings&) override {
    return std::make_unique<Transfer>(*this, file.path());
  }
  void SendFailureHit(const std::wstring& url) override { Note("hit " + ToUtf8(url)); }

  // Files
  Result<std::unique_ptr<RunFolder>> MakeRunFolder() override {
    Note("make folder");
    if (s_.folder.empty()) return Status::Failure(5, "Can't create a download folder in \"C:\\P\\Orvandel Setup\\\"");
    return std::unique_ptr<RunFolder>(std::make_unique<Folder>(*this));
  }
  Result<std::unique_ptr<OwnImage>> HoldOwnImage() override {
    Note("hold own image");
    if (s_.ownImageUnheld) return Status::Failure(32, "Unable to hold the stub's own file \"D:\\dl\\orvsetup.exe\"");
    return std::unique_ptr<OwnImage>(std::make_unique<Image>(*this));
  }
  Result<std::wstring> ResumeFolder() override { return s_.resumeFolder; }
  Status SecureResumeFolder(const std::wstring& folder) override {
    Note("secure " + ToUtf8(folder));
    return s_.resumeFolderRefused ? Status::Failure(5, "refused") : Status();
  }
  Result<std::unique_ptr<OfflineFolder>> OpenOfflineFolder(const std::wstring& folder, bool make) override {
    Note("open folder " + ToUtf8(folder) + (make ? " (made when missing)" : ""));
    if (s_.folderUnusable) return Status::Failure(3, "Cannot open the folder \"" + ToUtf8(folder) + "\"");
    return std::unique_ptr<OfflineFolder>(std::make_unique<Offline>(*this, folder));
  }
  std::wstring DesktopShortcutPath() override { return L"C:\\Desk\\Continue installation.lnk"; }
  bool Exists(const std::wstring&) override { return s_.shortcutExists; }
  Status RemoveShortcut(const std::wstring& path) override { return Delete(path); }
  Status WriteShortcut(const std::wstring& target, const std::wstring& shortcut) override {
    Note("link " + ToUtf8(shortcut) + " -> " + ToUtf8(target));
    return s_.linkFails ? Status::Failure(80, "exists") : Status();
  }

  // Shortcuts, then Processes
  std::unique_ptr<Scope> ClaimSingleInstance() override {
    Note("claim");
    if (s_.anotherStubRuns) return nullptr;
    return std::make_unique<Noted>(*this, "release");
  }
  Result<std::wstring> NewUuidText() override {
    if (!s_.uuidText) return Status::Failure(1717, "no UUID");
    return *s_.uuidText;
  }
  // ConfigTrust: a signature verifies when it is FakeSignature(key, digest).
  Result<bool> Verify(const P256PublicKey& key, const Sha256Digest& digest, const P256Signature& signature) override {
    return signature == FakeSignature(key, digest);
  }
  Result<std::optional<uint64_t>> ReadHighestSerial(const std::wstring& product) override {
    Note("read serial " + ToUtf8(product));
    if (s_.serialUnreadable) return Status::Failure(13, "ConfigSerial is not a REG_QWORD");
    return s_.highestSerial;
  }
  Status WriteHighestSerial(const std::wstring& product, uint64_t serial) override {
    Note("write serial " + ToUtf8(product) + " " + std::to_string(serial));
    return s_.serialUnwritable ? Status::Failure(5, "Cannot write ConfigSerial") : Status();
  }
  int64_t UtcNow() override { return s_.now; }

  // The fake scheme's signature of digest by key: the digest, then the key's X.
  static P256Signature FakeSignature(const P256PublicKey& key, const Sha256Digest& digest) {
    P256Signature signature{};
    std::copy(digest.begin(), digest.end(), signature.begin());
    std::copy(key.begin() + 1, key.begin() + 33, signature.begin() + 32);
    return signature;
  }
  // The signature document of document in the fake scheme, one line for each of keys.
  static std::string FakeSignatureDocument(const std::string& document, const std::vector<P256PublicKey>& keys) {
    SignatureDocument signature;
    signature.documentSha256 = Sha256Of(document.data(), document.size());
    for (const P256PublicKey& key : keys) {
      signature.lines.push_back({ConfigKeyId(key), FakeSignature(key, SignedMessageDigest(document))});
    }
    return FormatSignatureDocument(signature);
  }

  Status OpenPage(const std::wstring& address) override {
    Note("page " + ToUtf8(address));
    return s_.pageFails ? Status::Failure(0x80004005u, "Cancellation page not opened: no desktop shell") : Status();
  }

 private:
  // An owning object whose end is one line of the trace.
  class Noted : public Scope {
   public:
    Noted(RecordingPorts& ports, std::string end) : ports_(ports), end_(std::move(end)) {}
    ~Noted() override { ports_.Note(end_); }

   private:
    RecordingPorts& ports_;
    std::string end_;
  };

  class Progress final : public ProgressScope {
   public:
    explicit Progress(RecordingPorts& ports) : ports_(ports) {}
    ~Progress() override { ports_.Note("dialog end"); }
    void SetBarPosition(int32_t percent) override { ports_.Note("bar " + std::to_string(percent)); }
    void EndProgressDialog() override { ports_.Note("dialog ends itself"); }
    bool Pause(uint32_t ms) override {
      ports_.Note("pause " + std::to_string(ms));
      return !ports_.s_.closeDuringPause;
    }

   private:
    RecordingPorts& ports_;
  };

  // The download's attempts as the scenario scripts them; its end is the transfer's end.
  class Transfer final : public DownloadTransfer {
   public:
    Transfer(RecordingPorts& ports, std::wstring path) : ports_(ports), path_(std::move(path)) {}
    ~Transfer() override { ports_.Note("transfer end"); }
    AttemptReport Run(const AttemptRequest& request, DownloadReporter&) override {
      std::string line = "download " + ToUtf8(request.address);
      if (request.point.offset > 0) line += " from byte " + std::to_string(request.point.offset);
      ports_.Note(line + " -> " + ToUtf8(path_));
      if (ports_.attempt_ < ports_.s_.downloads.size()) return ports_.s_.downloads[ports_.attempt_++];
      AttemptReport complete;
      complete.end = AttemptEnd::Complete;
      return complete;
    }

   private:
    RecordingPorts& ports_;
    std::wstring path_;
  };

  class Installer final : public StartedInstaller {
   public:
    explicit Installer(RecordingPorts& ports) : ports_(ports) {}
    Result<uint32_t> Wait() override {
      ports_.Note("wait");
      if (ports_.s_.waitFails) return Status::Failure(6, "no process");
      return ports_.s_.exitCode;
    }

   private:
    RecordingPorts& ports_;
  };

  class Checked final : public CheckedInstaller {
   public:
    Checked(RecordingPorts& ports, std::wstring path) : ports_(ports), path_(std::move(path)) {
      sums_.crc32 = *ports.s_.crc;
      sums_.sha256 = ports.s_.sha256;
      sums_.size = ports.s_.size;
    }
    ~Checked() override { ports_.Note("unlock"); }
    const std::wstring& path() const override { return path_; }
    const FileSums& sums() const override { return sums_; }
    SignatureReading ReadSignature() override {
      ports_.Note("signature " + ToUtf8(path_));
      return ports_.s_.signature;
    }
    Result<std::unique_ptr<StartedInstaller>> Start(const std::wstring& parameters) override {
      ports_.Note("start " + ToUtf8(path_) + " " + ToUtf8(parameters) + " in " + ToUtf8(ports_.s_.folder));
      if (ports_.s_.launchFails) return Status::Failure(193, "not a program");
      return std::unique_ptr<StartedInstaller>(std::make_unique<Installer>(ports_));
    }
    Status CopyNewTo(const std::wstring& target) override {
      ports_.Note("copy " + ToUtf8(path_) + " as new -> " + ToUtf8(target));
      return ports_.Refused(target);
    }

   private:
    RecordingPorts& ports_;
    std::wstring path_;
    FileSums sums_;
  };

  // The administrator's folder, its files as the scenario gives them.
  class Offline final : public OfflineFolder {
   public:
    Offline(RecordingPorts& ports, std::wstring path) : ports_(ports), path_(std::move(path)) {}
    ~Offline() override { ports_.Note("let folder go"); }
    const std::wstring& path() const override { return path_; }
    Result<std::string> ReadDocument(const wchar_t* name, size_t limit) override {
      ports_.Note("read " + ToUtf8(PathOf(name)) + " up to " + std::to_string(limit));
      const auto found = ports_.s_.folderFiles.find(name);
      if (found == ports_.s_.folderFiles.end()) return Status::Failure(2, "Cannot open \"" + ToUtf8(PathOf(name)) + "\"");
      return found->second;
    }
    Status CopyInto(const wchar_t* name, FileWriter& writer, uint64_t limit) override {
      ports_.Note("copy " + ToUtf8(PathOf(name)) + " into the download file, up to " + std::to_string(limit + 1));
      const auto found = ports_.s_.folderFiles.find(name);
      if (found == ports_.s_.folderFiles.end()) return Status::Failure(2, "Cannot open \"" + ToUtf8(PathOf(name)) + "\"");
      const std::string& bytes = found->second;
      return writer.Append(bytes.data(), bytes.size() > limit + 1 ? static_cast<size_t>(limit + 1) : bytes.size());
    }
    Status WriteNew(const wchar_t* name, const std::string& bytes) override {
      ports_.Note("write new " + ToUtf8(PathOf(name)) + ": " + bytes);
      return ports_.Refused(PathOf(name));
    }
    std::wstring PathOf(const wchar_t* name) const override { return path_ + L"\\" + name; }

   private:
    RecordingPorts& ports_;
    std::wstring path_;
  };

  // The download file's bytes, kept in memory.
  class Bytes final : public FileWriter {
   public:
    uint64_t size() const override { return bytes_.size(); }
    Status Append(const void* data, size_t size) override {
      bytes_.append(static_cast<const char*>(data), size);
      return {};
    }
    Status Truncate() override {
      bytes_.clear();
      return {};
    }

   private:
    std::string bytes_;
  };

  class File final : public DownloadFile {
   public:
    File(RecordingPorts& ports, std::wstring path) : ports_(ports), path_(std::move(path)) {}
    const std::wstring& path() const override { return path_; }
    FileWriter& writer() override { return bytes_; }
    Result<std::unique_ptr<CheckedInstaller>> Check() override {
      ports_.Note("check " + ToUtf8(path_));
      if (!ports_.s_.crc) return Status::Failure(32, "Failed to open the file");
      return std::unique_ptr<CheckedInstaller>(std::make_unique<Checked>(ports_, path_));
    }

   private:
    RecordingPorts& ports_;
    std::wstring path_;
    Bytes bytes_;
  };

  class Folder final : public RunFolder {
   public:
    explicit Folder(RecordingPorts& ports) : ports_(ports), path_(ports.s_.folder) {}
    ~Folder() override {
      if (state_ == State::Held) ports_.Note("remove folder and its files");
    }
    const std::wstring& path() const override { return path_; }
    Result<std::unique_ptr<DownloadFile>> CreateDownloadFile() override {
      ports_.Note("create file");
      if (ports_.s_.noDownloadFile) return Status::Failure(80, "Can't make a download file in " + ToUtf8(path_));
      return std::unique_ptr<DownloadFile>(std::make_unique<File>(ports_, path_ + L"orv1.tmp.exe"));
    }
    Status DeleteFile(const std::wstring& path) override { return ports_.Delete(path); }
    Status Remove() override {
      ports_.Note("remove folder");
      if (ports_.s_.folderStays) return Status::Failure(145, "not empty");
      state_ = State::Removed;
      return {};
    }
    void Keep() override {
      ports_.Note("keep folder");
      state_ = State::Kept;
    }
    std::vector<OldFolderRemoval> RemoveOldRunFolders() override { return ports_.s_.oldFolders; }

   private:
    enum class State { Held, Kept, Removed };
    RecordingPorts& ports_;
    std::wstring path_;
    State state_ = State::Held;
  };

  class Image final : public OwnImage {
   public:
    explicit Image(RecordingPorts& ports) : ports_(ports) {}
    ~Image() override { ports_.Note("let own image go"); }
    bool IsAt(const std::wstring&) override { return ports_.s_.runsFromCopy; }
    Status CopyTo(const std::wstring& target) override {
      ports_.Note("copy own image -> " + ToUtf8(target));
      return ports_.s_.copyFails ? Status::Failure(32, "in use") : Status();
    }
    Status CopyNewTo(const std::wstring& target) override {
      ports_.Note("copy own image as new -> " + ToUtf8(target));
      return ports_.Refused(target);
    }

   private:
    RecordingPorts& ports_;
  };

  Status Delete(const std::wstring& path) {
    Note("delete " + ToUtf8(path));
    for (const std::wstring& undeletable : s_.undeletable) {
      if (undeletable == path) return Status::Failure(5, "in use");
    }
    return {};
  }
  // A file made new at path: refused (a link planted there) when the scenario names its leaf.
  Status Refused(const std::wstring& path) {
    for (const std::wstring& name : s_.refusedNames) {
      if (path.size() > name.size() && path.compare(path.size() - name.size(), name.size(), name) == 0) {
        return Status::Failure(1920, "Refused \"" + ToUtf8(path) + "\"");
      }
    }
    return {};
  }
  void Note(const std::string& line) { trace.push_back(line); }

  Scenario s_;
  size_t attempt_ = 0;
};

}  // namespace orv_test
