#include "window/controller_link.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <ctime>

#include "files/settings_file.h"
#include "files/tree_text.h"
#include "link/replies.h"
#include "listing/inspect.h"
#include "model/cp1251.h"
#include "model/layout.h"
#include "model/profiles.h"

namespace vemtaro {

namespace T = link_texts;
namespace P = link_timing;

namespace {

std::string TwoDigits(int a, char sep1, int b, char sep2, int c) {
  char text[16];
  std::snprintf(text, sizeof text, "%02d%c%02d%c%02d", ((a % 100) + 100) % 100, sep1, ((b % 100) + 100) % 100, sep2,
                ((c % 100) + 100) % 100);
  return text;
}

}  // namespace

std::string TimeText(const LocalDateTime& t) { return TwoDigits(t.hour, ':', t.minute, ':', t.second); }
std::string DateText(const LocalDateTime& t) { return TwoDigits(t.day, '-', t.month, '-', t.year % 100); }

LocalDateTime SystemLocalTime() {
  const std::time_t now = std::time(nullptr);
  const std::tm* tm = std::localtime(&now);
  if (tm == nullptr) return {};
  return LocalDateTime{tm->tm_year + 1900, tm->tm_mon + 1, tm->tm_mday, tm->tm_hour, tm->tm_min, tm->tm_sec};
}

ControllerLink::ControllerLink(MainModel& model, ComPort& port, LinkHost& host)
    : model_(model), port_(port), host_(host), m_(AttachProgramMatchers(port.matchers())) {
  m_.STARTPACK.OnPacket = [this](TApdDataPacket&, std::string_view) { STARTPACKPacket(); };
  m_.ApdDataPacket3.OnPacket = [this](TApdDataPacket&, std::string_view data) { ApdDataPacket3Packet(data); };
  m_.ApdDataPacket3.OnTimeout = [this](TApdDataPacket&) { ApdDataPacket3Timeout(); };
  m_.Zagruzka.OnPacket = [this](TApdDataPacket&, std::string_view data) { ZagruzkaPacket(data); };
  m_.Zagruzka.OnTimeout = [this](TApdDataPacket&) { ZagruzkaTimeout(); };
  m_.Zagruzka.OnOverflow = [this](TApdDataPacket&) { ZagruzkaOverflow(); };
  // A version reply that floods past its bound is dropped as one that timed
  // out, so the search goes on, and says why.
  m_.ApdDataPacket3.OnOverflow = [this](TApdDataPacket&) {
    ApdDataPacket3Timeout();
    Message(T::kReplyTooLong);
  };
  // A reply that floods past its bound ends its exchange as a transfer error.
  const auto overflow = [this](std::optional<bool>& result, const char* wait) {
    return [this, &result, wait](TApdDataPacket&) {
      result = false;
      if (wait != nullptr) EndWait(wait, T::kTransferError);
      Message(T::kReplyTooLong);
    };
  };
  m_.TimeIn.OnOverflow = overflow(timeResult, T::kWaitClock);
  m_.IDReciev.OnOverflow = overflow(idsResult, T::kWaitIds);
  m_.GetStatus.OnOverflow = overflow(statusResult, nullptr);
  // A reply that does not come ends its wait in the status pane; nothing else
  // changes and nothing is reported.
  m_.TimeIn.OnTimeout = [this](TApdDataPacket&) { EndWait(T::kWaitClock, T::kNoClock); };
  m_.IDReciev.OnTimeout = [this](TApdDataPacket&) { EndWait(T::kWaitIds, T::kNoIds); };
  m_.TimeIn.OnPacket = [this](TApdDataPacket&, std::string_view data) { TimeInPacket(data); };
  m_.IDReciev.OnPacket = [this](TApdDataPacket&, std::string_view data) { IDRecievPacket(data); };
  m_.GetStatus.OnPacket = [this](TApdDataPacket&, std::string_view data) { GetStatusPacket(data); };
  port_.OnTriggerAvail = [this](std::size_t count) {
    TransferCount += count;
    lastByteMs_ = port_.NowMs();
  };
  port_.OnServiced = [this](Millis nowMs) { OnServiced(nowMs); };
  port_.matchers().SetErrorSink([this](const std::string& text) { Error(text); });
}

// ---------------------------------------------------------------- helpers

void ControllerLink::Arm(TApdDataPacket& m, bool on) { m.SetEnabled(on, port_.NowMs()); }

void ControllerLink::ShowWait(const std::string& text) {
  const bool known = std::any_of(waits_.begin(), waits_.end(), [&](const Wait& w) { return w.text == text; });
  if (!known) waits_.push_back({text, model_.status});
  model_.status = text;
  // Shown at once: the wait itself keeps the windows painted.
  Changed();
}

void ControllerLink::EndWait(const std::string& text, const std::optional<std::string>& outcome) {
  const auto it = std::find_if(waits_.begin(), waits_.end(), [&](const Wait& w) { return w.text == text; });
  if (it == waits_.end()) return;
  if (model_.status == text) model_.status = outcome ? *outcome : it->before;
  waits_.erase(it);
  Changed();
}

std::string ControllerLink::SearchText() const { return T::kWaitSearch + portName_ + T::kWaitSearchTail; }

bool ControllerLink::Send(std::string_view bytes) {
  try {
    port_.SendText(bytes);
    return true;
  } catch (const LinkError&) {
    return false;
  }
}

void ControllerLink::Pause(Millis ms) {
  port_.Hold(true);
  try {
    host_.Pause(ms);
  } catch (...) {
    port_.Hold(false);
    throw;
  }
  port_.Hold(false);
  // What arrived during the pause goes at once to the matchers that were
  // armed while it arrived, which are those armed now (nothing arms or
  // disarms a matcher during a pause): a matcher armed after the pause must
  // not see it. Inside a handler the matcher that fired stays disarmed until
  // the handler has returned, so a probe that arrives during the pause before
  // "PC\r\n" is not answered again.
  port_.Service();
}

void ControllerLink::GiveWindowsBack() {
  progressVisible = false;
  pagesEnabled = true;
  fileMenuEnabled = true;
  model_.N13.enabled = port_.line().IsOpen();
  mainEnabled = true;
  portMenuAttached = true;
}

void ControllerLink::Changed(bool pages) {
  if (command_ != Command::None) {
    // A read or write has ended once its outcome is known and the progress
    // window is down; the outcome then stays shown if the window was up.
    if (progressVisible) progressShown_ = true;
    const std::optional<bool>& result = command_ == Command::Read ? loadResult : saveResult;
    if (result.has_value() && !progressVisible && !stopping_) {
      outcomeVisible = progressShown_;
      lastCommand_ = command_;
      command_ = Command::None;
      progress_.End();
    }
  }
  if (OnChanged) OnChanged(pages);
}

void ControllerLink::Error(const std::string& text) {
  if (command_ != Command::None) lastBox_ = text;
  Changed();
  model_.dialogs().ShowError(text);
}

void ControllerLink::Message(const std::string& text) {
  if (command_ != Command::None) lastBox_ = text;
  Changed();
  model_.dialogs().ShowMessage(text);
}

bool ControllerLink::Connected() const { return handshakeMade_ && port_.line().IsOpen(); }

// ---------------------------------------------------------------- connection

void ControllerLink::PopupMenuItemsClick(const std::string& portName) {
  EndWait(SearchText(), std::nullopt);
  StopAutoPoll();
  portName_ = portName;
  model_.N13.enabled = false;
  Arm(m_.STARTPACK, false);
  host_.ClosePort();
  handshakeMade_ = false;
  reportedVersion_.reset();
  Changed();
  const std::optional<int> kind = model_.dialogs().ChooseConnectionType();
  if (!kind) return;
  const PortOpening opening = host_.OpenPort(portName);
  if (opening.result != PortOpenResult::Opened) {
    host_.ClosePort();
    if (opening.result == PortOpenResult::AccessDenied) {
      comStatus = T::kComPort + portName_ + T::kComBusy;
      Error(T::kPortBusy);
    } else if (opening.result == PortOpenResult::NoPermission) {
      // Not held by anyone: this user may not open it. The box says so and
      // what helps.
      comStatus = T::kComPort + portName_ + T::kComNoPermission;
      Error(std::string(T::kPortBusy) + "\r" + T::kPortNoPermission + "\r" + T::kPortPermissionRemedy);
    } else {
      // A port that is not there is told apart from a busy one.
      comStatus = T::kComPort + portName_ + T::kComMissing;
      Error(opening.reason.empty() ? std::string(T::kPortMissing)
                                   : std::string(T::kPortMissing) + "\r" + opening.reason);
    }
    return;
  }
  Pause(P::kAfterOpenMs);
  if (*kind == 0) {
    Arm(m_.STARTPACK, true);
    Send(wire::kBye);
    comStatus = T::kComSearching + portName_;
    ShowWait(SearchText());
  } else {
    comStatus = T::kComModem + portName_;
  }
  Changed();
}

void ControllerLink::STARTPACKPacket() {
  Pause(P::kBeforePcMs);
  Send(wire::kPc);
  Arm(m_.ApdDataPacket3, true);
}

void ControllerLink::ApdDataPacket3Packet(std::string_view data) {
  std::string error;
  const std::optional<int> version = VersionNumberOf(data, &error);
  if (!version) {
    Error(Cp1251ToUtf8(error));
    return;
  }
  const int before = model_.ws.FirmwareVersion;
  model_.ws.KeepImage = before == *version;
  versionText_ = Cp1251ToUtf8(data);
  reportedVersion_ = version;
  bool pages = false;
  std::string versionChange;
  if (FindProfile(*version) != nullptr) {
    model_.ApplyProfile(*version);
    // Another version's profile brings its defaults: a configuration nobody
    // has changed yet (the user was asked before the port was chosen).
    if (!model_.ws.KeepImage) model_.MarkUnmodified();
    model_.status = T::kFirmware + versionText_;
    if (!model_.ws.KeepImage) {
      const std::string now = std::to_string(*version);
      model_.status += T::kVersionChangedStatus + now + T::kVersionChangedStatusTail;
      versionChange = T::kVersionChangedHead + now + T::kVersionChangedWas + std::to_string(before) +
                      T::kVersionChangedFollows + now + T::kVersionChangedWhat;
    }
    comStatus = T::kComConnected + portName_;
    model_.N13.enabled = true;
    handshakeMade_ = true;
    pages = true;
  }
  if (*version > 5) {
    // The search is over, with a profile or without one.
    EndWait(SearchText(), std::nullopt);
    Arm(m_.ApdDataPacket3, false);
    m_.STARTPACK.settings.AutoEnable = false;
    Arm(m_.STARTPACK, false);
    Send(wire::kPcOk);
    Changed(pages);
    Pause(P::kAfterPcOkMs);
    // Told once the controller has its answer, with the pages already showing
    // the version's configuration.
    if (!versionChange.empty() && tellVersionChange) model_.dialogs().ShowInformation(versionChange);
  } else {
    Changed(pages);
    Error(T::kOldFirmware91);
  }
}

void ControllerLink::ApdDataPacket3Timeout() {
  Arm(m_.STARTPACK, true);
  Arm(m_.ApdDataPacket3, false);
  Changed();
}

void ControllerLink::EndConnection() {
  StopAutoPoll();
  if (!port_.line().IsOpen()) return;
  // Nothing is answered after "BYE": a probe that arrives during the pause
  // below finds no matcher to answer it.
  Arm(m_.STARTPACK, false);
  Arm(m_.ApdDataPacket3, false);
  Send(wire::kBye);
  Pause(P::kAfterByeMs);
  timer3Running = false;
  Arm(m_.Zagruzka, false);
  port_.FlushInput();
  port_.FlushOutput();
}

void ControllerLink::PortLost(const std::string& reason) {
  (void)reason;
  handshakeMade_ = false;
  StopAutoPoll();
  comStatus = T::kComLost + portName_;
  EndWait(SearchText(), comStatus);
  if (stopping_) {
    // Nothing more can arrive to let pass: the stop ends here.
    EndStopping();
  }
  if (loading_) {
    if (loadPurpose_ == LoadPurpose::Apply) {
      FinishLoad(T::kLoadFailed);
      loadResult = false;
    } else if (loadPurpose_ == LoadPurpose::Compare) {
      FinishLoad(T::kCompareFailed);
      compareResult = false;
    } else {
      LoadForWriteFailed(loadPurpose_, T::kComLost + portName_);
    }
  }
  Arm(m_.Zagruzka, false);
  Arm(m_.ApdDataPacket3, false);
  model_.N13.enabled = false;
  if (save_.active) {
    // A write whose image was going out ends here, as one that failed: the
    // controller may hold part of it. The steps still handed over do nothing.
    stopped_ = true;
    SaveError();
    return;
  }
  Changed();
}

// ---------------------------------------------------------------- reading

void ControllerLink::N14Click() {
  loadResult.reset();
  stopped_ = false;
  BeginCommand(Command::Read);
  progress_.Begin({TransferStage::Read}, model_.ws.working.size(), model_.ws.FirmwareVersion);
  if (NotConnected()) {
    Error(T::kNotConnected92);
    model_.status = T::kLoadFailedBang;
    loadResult = false;
    Changed();
    return;
  }
  BeginLoad(LoadPurpose::Apply);
}

void ControllerLink::CompareClick() {
  compareResult.reset();
  compareImage.reset();
  stopped_ = false;
  if (NotConnected()) {
    model_.status = T::kCompareFailed;
    compareResult = false;
    Error(T::kNotConnected92);
    Changed();
    return;
  }
  BeginLoad(LoadPurpose::Compare);
}

bool ControllerLink::BeginLoad(LoadPurpose purpose) {
  loadPurpose_ = purpose;
  TransferCount = 0;
  Arm(m_.Zagruzka, true);
  Send(wire::kLoad);
  ShowWait(T::kWaitLoad);
  const bool answered = port_.WaitForText(wire::kLoadOk, P::kAckWaitTicks, false, false);
  EndWait(T::kWaitLoad, answered ? T::kLoading : T::kLoadFailedBang);
  if (!answered) {
    if (ForWrite(purpose)) {
      LoadForWriteFailed(purpose, T::kNoAnswer93);
      return false;
    }
    if (purpose == LoadPurpose::Compare) {
      // Nothing stays armed: an image that comes later must not be applied.
      CompareFailed(T::kNoAnswer93, true);
      return false;
    }
    // Zagruzka stays armed: an image the controller still sends is taken.
    model_.status = T::kLoadFailedBang;
    loadResult = false;
    Error(T::kNoAnswer93);
    return false;
  }
  progressVisible = true;
  model_.gaugeMax = static_cast<int>(model_.ws.working.size());
  if (purpose == LoadPurpose::Compare) {
    // The controller's configuration is compared as it holds it, under its
    // own version, whatever version the working one follows.
    const VersionProfile* profile = reportedVersion_ ? FindProfile(*reportedVersion_) : nullptr;
    compareVersion = profile != nullptr ? profile->version : model_.ws.FirmwareVersion;
    if (profile != nullptr) model_.gaugeMax = static_cast<int>(profile->imageLength);
  }
  mainEnabled = false;
  model_.status = purpose == LoadPurpose::Apply     ? T::kLoading
                  : purpose == LoadPurpose::Backup  ? T::kBackingUp
                  : purpose == LoadPurpose::Compare ? T::kComparing
                                                    : T::kVerifying;
  pagesEnabled = false;
  fileMenuEnabled = false;
  model_.N13.enabled = false;
  timer3Running = true;
  portMenuAttached = false;
  loading_ = true;
  loadStartMs_ = port_.NowMs();
  progress_.Enter(Phase(), loadStartMs_);
  // 0 for a read; a read-back starts where the write ended.
  ShowGauge();
  Changed();
  return true;
}

void ControllerLink::ZagruzkaPacket(std::string_view data) {
  if (loading_ && loadPurpose_ == LoadPurpose::Backup) {
    KeepBackup(data);
    return;
  }
  if (loading_ && loadPurpose_ == LoadPurpose::Verify) {
    CheckWritten(data);
    return;
  }
  if (loading_ && loadPurpose_ == LoadPurpose::Compare) {
    TakeComparison(data);
    return;
  }
  const std::size_t length = model_.ws.working.size();
  if (data.size() != length) {
    errorshow(15);
    return;
  }
  model_.ws.incoming = ConfigImage(Bytes(data.begin(), data.end()));
  if (model_.ws.ChecksumEnabled && length > 0) {
    if (ImageChecksum(model_.ws.incoming) == model_.ws.incoming.Byte(length - 1)) {
      LoadComplete();
    } else {
      errorshow(13);
    }
  } else {
    LoadComplete();
  }
}

void ControllerLink::FinishLoad(const char* status) {
  GiveWindowsBack();
  model_.status = status;
  EndLoadQuietly();
}

void ControllerLink::LoadComplete() {
  // An image with a field the pages cannot read is refused whole (message 94)
  // and ends as a failed load: nothing has changed.
  const bool applied = model_.pages.ApplyIncomingImage(false);
  FinishLoad(applied ? T::kLoadDone : T::kLoadFailed);
  loadResult = applied;
  if (applied) model_.MarkUnmodified();  // what the controller holds
  Changed(true);
}

bool ControllerLink::errorshow(int kind) {
  Error(kind == 13 ? T::kBadChecksum : T::kBadLength);
  FinishLoad(T::kLoadFailed);
  loadResult = false;
  Changed();
  return false;
}

void ControllerLink::ZagruzkaTimeout() {
  if (loading_ && ForWrite(loadPurpose_)) {
    LoadForWriteFailed(loadPurpose_, T::kTimeout);
    return;
  }
  if (loading_ && loadPurpose_ == LoadPurpose::Compare) {
    CompareFailed(T::kTimeout, false);
    return;
  }
  GiveWindowsBack();
  model_.status = T::kLoadFailed;
  loading_ = false;
  loadResult = false;
  Message(T::kTimeout);
  model_.status = T::kTransferError;
  Changed();
}

void ControllerLink::ZagruzkaOverflow() {
  if (loading_ && ForWrite(loadPurpose_)) {
    LoadForWriteFailed(loadPurpose_, T::kReplyTooLong);
    return;
  }
  if (loading_ && loadPurpose_ == LoadPurpose::Compare) {
    CompareFailed(T::kReplyTooLong, false);
    return;
  }
  FinishLoad(T::kTransferError);
  loadResult = false;
  Message(T::kReplyTooLong);
  Changed();
}

void ControllerLink::EndLoadQuietly() {
  Arm(m_.Zagruzka, false);
  port_.FlushInput();
  port_.FlushOutput();
  TransferCount = 0;
  loading_ = false;
  loadPurpose_ = LoadPurpose::Apply;
}

void ControllerLink::LoadForWriteFailed(LoadPurpose purpose, const std::string& reason) {
  EndLoadQuietly();
  if (purpose == LoadPurpose::Backup) {
    // Without the copy the write does not start: nothing of the configuration
    // has gone to the controller.
    EndRefusedWrite();
    Error(reason + "\r" + T::kBackupNotMade);
    Changed();
    return;
  }
  WriteFailed(std::string(T::kVerifyNotRead) + "\r" + reason + "\r" + T::kWriteAgain);
}

void ControllerLink::KeepBackup(std::string_view image) {
  if (backups == nullptr) {  // no store any more: the write goes on without a copy
    EndLoadQuietly();
    host_.Post([this] { BeginSave(); });
    return;
  }
  const std::size_t length = model_.ws.working.size();
  if (image.size() != length) {
    LoadForWriteFailed(LoadPurpose::Backup, T::kBadLength);
    return;
  }
  // The copy is what the desktop program would save after reading it: the
  // image as it came (a wrong checksum included: it is what the controller
  // holds), the version, and the trees' node names.
  const ConfigImage read(Bytes(image.begin(), image.end()));
  BackupCopy copy;
  copy.version = model_.ws.FirmwareVersion;
  copy.objectId = ObjectIdOf(read, copy.version);
  std::string error;
  std::string where;
  const auto file =
      WriteSettingsFile(copy.version, WriteTreeText(model_.Tree1), WriteTreeText(model_.Tree2), read.bytes(), &error);
  if (file) copy.fileBytes = *file;
  if (!file || !backups->Keep(copy, where, error)) {
    LoadForWriteFailed(LoadPurpose::Backup, std::string(T::kBackupNotKept) + "\r" + error);
    return;
  }
  lastWrite_.backupPath = where;
  EndLoadQuietly();
  Changed();
  // The write follows as a step of its own, once this handler has returned.
  host_.Post([this] { BeginSave(); });
}

void ControllerLink::CheckWritten(std::string_view image) {
  const Bytes read(image.begin(), image.end());
  const Bytes& sent = lastWrite_.sent.value_or(Bytes());
  lastWrite_.readBack = read;
  std::optional<std::size_t> first;
  for (std::size_t i = 0; i < std::max(sent.size(), read.size()); ++i) {
    if (i >= sent.size() || i >= read.size() || sent[i] != read[i]) {
      first = i;
      break;
    }
  }
  EndLoadQuietly();
  if (!first) {
    SaveDone();
    return;
  }
  lastWrite_.firstDifference = first;
  std::string where;
  if (*first >= sent.size() || *first >= read.size()) {
    where = std::string(T::kLengthDiffers) + std::to_string(read.size()) + " байт, передано " +
            std::to_string(sent.size()) + ".";
  } else {
    where = std::string(T::kFirstDifference) + std::to_string(*first);
    SettingsFileData file;
    file.version = model_.ws.FirmwareVersion;
    file.tree1 = WriteTreeText(model_.Tree1);
    file.tree2 = WriteTreeText(model_.Tree2);
    file.image = sent;
    if (const auto setting = SettingAtOffset(file, *first, read[*first])) where += " (" + *setting + ")";
    where += ".";
  }
  WriteFailed(std::string(T::kVerifyMismatch) + "\r" + where + "\r" + T::kWriteAgain);
  // Bytes that differ can be listed setting by setting; a length that differs
  // is told by the message alone.
  if (OnReadBackDiffers && read.size() == sent.size()) OnReadBackDiffers();
}

void ControllerLink::TakeComparison(std::string_view image) {
  const VersionProfile* profile = FindProfile(compareVersion);
  const std::size_t length = profile != nullptr ? profile->imageLength : model_.ws.working.size();
  if (image.size() != length) {
    CompareFailed(T::kBadLength, true);
    return;
  }
  // A wrong checksum is not refused here: it is one of the differences shown.
  compareImage = Bytes(image.begin(), image.end());
  FinishLoad(T::kCompareRead);
  compareResult = true;
  Changed();
  if (OnCompareRead) OnCompareRead();
}

void ControllerLink::CompareFailed(const std::string& text, bool error) {
  FinishLoad(T::kCompareFailed);
  compareResult = false;
  if (error) {
    Error(text);
  } else {
    Message(text);
  }
  Changed();
}

void ControllerLink::OnServiced(Millis nowMs) {
  if (stopping_) {
    const Millis since = nowMs - stoppedAtMs_;
    const bool quiet = since >= quietFor_ && nowMs - lastByteMs_ >= kQuietAfterStopMs;
    if (quiet || since >= quietFor_ + kStoppedReadLimitMs) EndStopping();
    return;
  }
  // A reply that stops after "LOAD_OK" and never sends the "\r\n" would leave
  // the windows disabled for ever: the load's own time-out also bounds the
  // wait for its start.
  if (loading_ && m_.Zagruzka.Enabled() && m_.Zagruzka.state() == TApdDataPacket::State::WaitingForStart &&
      TimeoutExpired(TickOf(loadStartMs_), P::kLoadTicks, nowMs)) {
    Arm(m_.Zagruzka, false);
    ZagruzkaTimeout();
  }
  PollStatus(nowMs);
}

void ControllerLink::Timer3Timer() { ShowGauge(); }

void ControllerLink::ShowGauge() {
  gaugePosition = static_cast<int>(std::lround(OverallFraction() * std::max(0, model_.gaugeMax)));
}

std::size_t ControllerLink::StageDone() const {
  // Between two stages the last one counts whole.
  if (Phase() == progress_.Stage()) return TransferCount;
  return Phase() == TransferPhase::None ? progress_.Length() : 0;
}

double ControllerLink::OverallFraction() const {
  if (stopping_) return stoppedFraction_;
  if (progress_.Stages().empty()) {
    const std::size_t length = model_.ws.working.size();
    return length == 0 ? 0.0 : static_cast<double>(std::min(TransferCount, length)) / static_cast<double>(length);
  }
  return progress_.Fraction(StageDone());
}

std::optional<Millis> ControllerLink::MsLeft() const {
  if (stopping_) {
    return std::max<Millis>(
        {0, quietFor_ - (port_.NowMs() - stoppedAtMs_), kQuietAfterStopMs - (port_.NowMs() - lastByteMs_)});
  }
  return progress_.MsLeft(StageDone(), port_.NowMs());
}

std::string ControllerLink::StageText() const {
  namespace PT = progress_texts;
  if (stopping_) return PT::kStageStopping;
  const TransferStage stage = progress_.Stage() != TransferStage::None ? progress_.Stage() : Phase();
  switch (stage) {
    case TransferStage::Read: return PT::kStageRead;
    case TransferStage::Backup: return PT::kStageBackup;
    case TransferStage::Write: return PT::kStageWrite;
    case TransferStage::Verify: return PT::kStageVerify;
    case TransferStage::None: break;
  }
  return {};
}

ControllerLink::TransferOutcome ControllerLink::Outcome() const {
  namespace PT = progress_texts;
  using Kind = TransferOutcome::Kind;
  TransferOutcome o;
  if (lastStop_) {
    o.kind = lastStop_->outcome == StopOutcome::MayBeIncomplete ? Kind::Failed : Kind::Warning;
    o.text = StopText(*lastStop_);
    return o;
  }
  const auto withBox = [this](const char* head) {
    std::string text = std::string(head) + ".";
    if (!lastBox_.empty()) text += "\r" + lastBox_;
    return text;
  };
  if (lastCommand_ == Command::Read) {
    if (loadResult == true) {
      o.kind = Kind::Done;
      o.text = PT::kReadApplied;
    } else {
      o.kind = Kind::Failed;
      o.text = withBox(T::kLoadFailed);
    }
  } else if (lastCommand_ == Command::Write) {
    const std::string& backup = lastWrite_.backupPath;
    if (saveResult == true) {
      o.kind = lastWrite_.readBack ? Kind::Done : Kind::Warning;
      o.text = std::string(lastWrite_.readBack ? PT::kWriteVerified : PT::kWriteNotVerified) + " " +
               (backup.empty() ? std::string(PT::kNoBackup) : PT::kBackupKept + backup);
    } else {
      o.kind = Kind::Failed;
      o.text = withBox(T::kSaveFailed);
      if (!backup.empty()) o.text += "\r" + std::string(PT::kBackupKept) + backup;
    }
  }
  return o;
}

void ControllerLink::CloseOutcome() {
  if (!outcomeVisible) return;
  outcomeVisible = false;
  Changed();
}

void ControllerLink::BeginCommand(Command command) {
  command_ = command;
  progressShown_ = false;
  lastBox_.clear();
  lastStop_.reset();
  outcomeVisible = false;
  progress_.End();
}

// ---------------------------------------------------------------- writing

void ControllerLink::N15Click() {
  saveResult.reset();
  stopped_ = false;
  lastWrite_ = WriteReport{};
  BeginCommand(Command::Write);
  {
    std::vector<TransferStage> stages;
    if (backups != nullptr) stages.push_back(TransferStage::Backup);
    stages.push_back(TransferStage::Write);
    if (verifyAfterWrite) stages.push_back(TransferStage::Verify);
    progress_.Begin(std::move(stages), model_.ws.working.size(), model_.ws.FirmwareVersion);
  }
  portMenuAttached = false;
  fileMenuEnabled = false;
  model_.N13.enabled = false;
  if (NotConnected()) {
    RefuseWrite(T::kNotConnected92);
    model_.N13.enabled = true;
    Changed();
    return;
  }
  // A configuration of another firmware version would leave the controller
  // with an image it cannot read: nothing is sent.
  const int version = model_.ws.FirmwareVersion;
  if (reportedVersion_ && *reportedVersion_ != version) {
    RefuseWrite(T::kVersionMismatchHead + std::to_string(version) + T::kVersionMismatchMiddle +
                std::to_string(*reportedVersion_) + T::kVersionMismatchTail);
    return;
  }
  if (backups != nullptr) {
    BeginLoad(LoadPurpose::Backup);
    return;
  }
  BeginSave();
}

void ControllerLink::RefuseWrite(const std::string& text) {
  // The box comes while the status pane still says what was waited for.
  Error(text);
  EndRefusedWrite();
  Changed();
}

void ControllerLink::EndRefusedWrite() {
  GiveWindowsBack();
  model_.status = T::kSaveFailedBang;
  saveResult = false;
}

void ControllerLink::BeginSave() {
  if (stopped_) return;
  pagesEnabled = false;
  TransferCount = 0;
  // 0, or where the copy before the write ended.
  ShowGauge();
  Send(wire::kSave);
  ShowWait(T::kWaitSave);
  const bool answered = port_.WaitForText(wire::kSaveOk, P::kAckWaitTicks, false, false);
  EndWait(T::kWaitSave, T::kSaving);
  if (!answered) {
    RefuseWrite(T::kNoAnswer93);
    return;
  }
  progressVisible = true;
  model_.gaugeMax = static_cast<int>(model_.ws.working.size());
  mainEnabled = false;
  TransferCount = 0;
  StartWorker();
  Changed();
}

void ControllerLink::StartWorker() {
  save_ = SaveTransfer{};
  save_.active = true;
  // Port events stay held until the transfer ends: between two steps the
  // windows are serviced, and servicing the port then would hand the bytes
  // that the next step waits for (the final "SAVE_OK\r\n", which follows the
  // last "o" at once) to the matchers, which drop them.
  port_.Hold(true);
  TransferCount = 0;
  ConfigImage& image = model_.ws.working;
  if (model_.ws.ChecksumEnabled && image.size() > 0) {
    save_.accumulator = ImageChecksum(image);
    image.SetByte(image.size() - 1, static_cast<std::uint8_t>(save_.accumulator));
  }
  lastWrite_.sent = image.bytes();
  progress_.Enter(TransferStage::Write, port_.NowMs());
  host_.Post([this] { WorkerStep(); });
}

void ControllerLink::WorkerStep() {
  if (stopped_ || !save_.active) return;
  const std::size_t length = model_.ws.working.size();
  if (save_.index < length) {
    // One hand-over sends bytes for up to kWriteStepMs; the windows are
    // serviced between hand-overs, so they stay painted however quickly the
    // controller answers, and a quick controller is not held up by them.
    const Millis started = port_.NowMs();
    for (;;) {
      TransferCount = save_.index;
      SendByte();
      // Stopped while the byte's acknowledgement was awaited.
      if (stopped_) return;
      if (!save_.cont) break;
      ++save_.index;
      if (save_.index >= length) break;
      if (port_.NowMs() - started >= P::kWriteStepMs) {
        Changed();
        host_.Post([this] { WorkerStep(); });
        return;
      }
    }
    Changed();
  } else {
    // An empty image: nothing to send, the final wait decides.
    save_.cont = true;
    save_.success = true;
  }
  if (save_.cont) {
    host_.Post([this] {
      if (stopped_) return;
      WaitSaveOk();
      host_.Post([this] {
        if (!stopped_) save_.success ? WriteSent() : SaveError();
      });
    });
  } else {
    host_.Post([this] {
      if (!stopped_) SaveError();
    });
  }
}

ControllerLink::TransferPhase ControllerLink::Phase() const {
  if (save_.active) return TransferPhase::Write;
  if (!loading_) return TransferPhase::None;
  switch (loadPurpose_) {
    case LoadPurpose::Apply:
    case LoadPurpose::Compare: return TransferPhase::Read;
    case LoadPurpose::Backup: return TransferPhase::Backup;
    case LoadPurpose::Verify: return TransferPhase::Verify;
  }
  return TransferPhase::None;
}

StoppedTransfer ControllerLink::StopNow() {
  StoppedTransfer stopped;
  const TransferPhase phase = Phase();
  stopped.outcome = StopOutcomeOf(phase, command_ == Command::Write);
  const LoadPurpose purpose = loadPurpose_;
  stopped.total = model_.ws.working.size();
  // The byte whose offset the count holds has gone out too.
  if (phase == TransferPhase::Write) stopped.sent = std::min(TransferCount + 1, stopped.total);
  stopped_ = true;
  if (loading_) EndLoadQuietly();
  EndTransferHold();
  switch (stopped.outcome) {
    case StopOutcome::NothingSent: break;
    case StopOutcome::ReadDiscarded:
      if (purpose == LoadPurpose::Compare) {
        model_.status = T::kCompareFailed;
        compareResult = false;
      } else {
        model_.status = T::kLoadFailed;
        loadResult = false;
      }
      break;
    case StopOutcome::NothingWritten:
    case StopOutcome::MayBeIncomplete:
    case StopOutcome::WrittenNotVerified:
      // Between the copy and the write the write never starts.
      model_.status = T::kSaveFailed;
      saveResult = false;
      break;
  }
  return stopped;
}

StoppedTransfer ControllerLink::StopTransfer() {
  const bool underWay = loading_ || save_.active || stopping_ || command_ != Command::None;
  StoppedTransfer stopped;
  if (stopping_) {
    stopped = lastStop_.value_or(StoppedTransfer{});
    stopping_ = false;
  } else {
    stopped = StopNow();
  }
  if (underWay) {
    lastStop_ = stopped;
    GiveWindowsBack();
  }
  Changed();
  return stopped;
}

void ControllerLink::CancelTransfer() {
  if (stopping_ || (!Transferring() && command_ == Command::None)) return;
  stoppedFraction_ = OverallFraction();
  const StoppedTransfer stopped = StopNow();
  lastStop_ = stopped;
  stopping_ = true;
  stoppedAtMs_ = lastByteMs_ = port_.NowMs();
  quietFor_ = stopped.outcome == StopOutcome::MayBeIncomplete ? kAbandonedWriteMs : 0;
  // The windows stay held while the line settles.
  progressVisible = true;
  mainEnabled = false;
  pagesEnabled = false;
  fileMenuEnabled = false;
  model_.N13.enabled = false;
  portMenuAttached = false;
  Changed();
}

void ControllerLink::EndStopping() {
  stopping_ = false;
  port_.FlushInput();
  port_.FlushOutput();
  TransferCount = 0;
  GiveWindowsBack();
  Changed();
}

void ControllerLink::SendByte() {
  ShowGauge();
  const std::string byte(1, static_cast<char>(model_.ws.working.Byte(save_.index).value_or(0)));
  if (!versions::AcknowledgedBytes(model_.ws.FirmwareVersion)) {
    bool sent = Send(byte);
    Pause(P::kOldByteGapMs);
    sent = Send(wire::kLineEnd) && sent;
    Pause(P::kOldByteGapMs);
    // Nothing is awaited below version 12; only a port that is gone stops it.
    save_.success = save_.cont = sent;
    return;
  }
  for (int attempt = 1; attempt <= P::kByteAttempts; ++attempt) {
    if (!Send(byte)) {
      save_.success = save_.cont = false;
      return;
    }
    if (port_.WaitForText(wire::kAck, P::kByteAckTicks, true, true)) {
      save_.success = save_.cont = true;
      return;
    }
    save_.success = save_.cont = false;
    // Stopped while the acknowledgement was awaited: the byte is not sent again.
    if (stopped_) return;
  }
}

void ControllerLink::WaitSaveOk() {
  save_.success = port_.WaitForText(wire::kSaveOk, P::kFinalSaveOkTicks, true, true);
}

void ControllerLink::EndWrite(const char* status, bool succeeded) {
  GiveWindowsBack();
  model_.status = status;
  EndTransferHold();
  saveResult = succeeded;
}

void ControllerLink::EndTransferHold() {
  if (save_.active) port_.Hold(false);  // the hold taken when the transfer started
  save_.active = false;
}

void ControllerLink::WriteSent() {
  EndTransferHold();
  // "SAVE_OK" says the controller took as many bytes as were sent, not that it
  // stored them where they belong: a late acknowledgement can shift the image
  // by a byte. Reading it back proves it.
  if (verifyAfterWrite) {
    BeginLoad(LoadPurpose::Verify);
    return;
  }
  SaveDone();
}

void ControllerLink::SaveDone() {
  TransferCount = 0;
  EndWrite(T::kSaveDone, true);
  model_.MarkUnmodified();  // what the controller holds now
  Changed();
}

void ControllerLink::SaveError() {
  EndWrite(T::kSaveFailed, false);
  Message(std::string(T::kTransferError) + "\r" + T::kMayBeIncomplete);
  Changed();
}

void ControllerLink::WriteFailed(const std::string& text) {
  TransferCount = 0;
  EndWrite(T::kSaveFailed, false);
  Error(text);
  Changed();
}

// ---------------------------------------------------------------- clock

void ControllerLink::N16Click() {
  timeResult.reset();
  if (NotConnected()) {
    timeResult = false;
    Error(T::kNotConnected92);
    return;
  }
  TimeSet();
}

void ControllerLink::TimeSet() {
  timeResult.reset();
  Send(wire::kTime);
  ShowWait(T::kWaitTime);
  const bool answered = port_.WaitForText(wire::kTimeOk, P::kAckWaitTicks, false, false);
  EndWait(T::kWaitTime, answered ? T::kWaitClock : T::kTimeNotSet);
  if (!answered) {
    timeResult = false;
    Error(T::kTimeError98);
    return;
  }
  const LocalDateTime now = host_.LocalTime();
  const std::string date = DateText(now);
  const std::string time = TimeText(now);
  Send(time + std::string(wire::kLineEnd));
  Send(date + std::string(wire::kLineEnd));
  Arm(m_.TimeIn, true);
  ShowWait(T::kWaitClock);
}

void ControllerLink::TimeInPacket(std::string_view data) {
  const std::optional<std::string> shown = ClockDisplayText(data);
  EndWait(T::kWaitClock, shown ? T::kTimeSetStatus + *shown : std::string(T::kTimeNotSet));
  if (!shown) {
    timeResult = false;
    Error(T::kTimeError98);
    return;
  }
  try {
    model_.status = T::kTimeSetStatus + *shown;
    clockReply_ = *shown;
    Changed();
    model_.dialogs().ShowInformation(T::kTimeSetBox + *shown);
    timeResult = true;
  } catch (...) {
    timeResult = false;
    Error(T::kTimeError97);
  }
}

// ---------------------------------------------------------------- identifiers

void ControllerLink::ID17Click() {
  if (Request(m_.IDReciev, wire::kId, idsResult)) ShowWait(T::kWaitIds);
}

bool ControllerLink::Request(TApdDataPacket& reply, std::string_view command, std::optional<bool>& result) {
  result.reset();
  if (NotConnected()) {
    result = false;
    Message(T::kNotConnected);
    return false;
  }
  // The reply's matcher is armed before the request goes out, so that no byte
  // of the reply is lost.
  bool ok = true;
  try {
    Arm(reply, true);
  } catch (const LinkError&) {
    ok = false;
  }
  if (!ok || !Send(command)) {
    result = false;
    Error(T::kSendError99);
    return false;
  }
  return true;
}

void ControllerLink::IDRecievPacket(std::string_view data) {
  EndWait(T::kWaitIds, T::kIdsReceived);
  const auto groups = IdentifierGroups(data);
  for (std::size_t k = 0; k < groups.size(); ++k) {
    // A group the reply does not fully hold leaves its position as it was.
    if (!groups[k]) continue;
    std::string text = Cp1251ToUtf8(*groups[k]);
    if (text == "0000000000000000") text.clear();
    if (!model_.pages.StoreIdentifier(text, layout::IdentifierField(k + 1))) text.clear();
    model_.pages.ID[k].text = text;
  }
  Arm(m_.IDReciev, false);
  idsResult = true;
  Changed(true);
}

// ---------------------------------------------------------------- status window

void ControllerLink::Button1Click() { Request(m_.GetStatus, wire::kStat, statusResult); }

void ControllerLink::GetStatusPacket(std::string_view data) {
  const StatusReading reading = ReadStatusBlock(data);
  for (std::size_t k = 0; k < 8; ++k) {
    if (reading.inputs[k]) form5.Inputs[k] = *reading.inputs[k];
    if (reading.analog[k]) form5.ACP[k] = Cp1251ToUtf8(*reading.analog[k]);
    if (reading.sensors[k]) form5.Dat[k] = Cp1251ToUtf8(*reading.sensors[k]);
  }
  if (reading.key) form5.TM = Cp1251ToUtf8(*reading.key);
  form5.History.Add(port_.NowMs(), reading);
  Arm(m_.GetStatus, false);
  statusResult = true;
  Changed();
}

void ControllerLink::ReleysChange(int index, bool newState) {
  if (index >= 0 && index < 8) form5.Releys[static_cast<std::size_t>(index)] = newState;
  if (NotConnected()) {
    Message(T::kNotConnected);
    return;
  }
  std::string pattern;
  for (bool on : form5.Releys) pattern += on ? '1' : '0';
  if (!Send(wire::kReleSet)) {
    Error(T::kSendError99);
    return;
  }
  Pause(P::kRelayPauseMs);
  if (!Send(pattern + std::string(wire::kLineEnd))) Error(T::kSendError99);
}

void ControllerLink::N1Click() {
  model_.pages.MasterKey.text = form5.TM;
  model_.pages.MasterKeyExit();
  Changed(true);
}

// ---------------------------------------------------------------- auto-poll

void ControllerLink::AutoPollClick(bool on) {
  if (!on) {
    StopAutoPoll();
    Changed();
    return;
  }
  if (NotConnected() || !Connected()) {
    StopAutoPoll();
    Message(T::kNotConnected);
    return;
  }
  form5.AutoPoll = true;
  autoPoll_.Start();
  // A request of the button's still awaited counts as the first one.
  if (m_.GetStatus.Enabled()) autoPoll_.Sent(port_.NowMs());
  PollStatus(port_.NowMs());
  Changed();
}

void ControllerLink::StatusWindowClosed() { StopAutoPoll(); }

void ControllerLink::StopAutoPoll() {
  autoPoll_.Stop();
  form5.AutoPoll = false;
}

void ControllerLink::PollStatus(Millis nowMs) {
  if (!autoPoll_.On()) return;
  if (NotConnected() || !Connected()) {
    StopAutoPoll();
    Changed();
    return;
  }
  // Nothing goes out over a transfer or while another reply is awaited.
  if (Transferring() || m_.TimeIn.Enabled() || m_.IDReciev.Enabled() || m_.ApdDataPacket3.Enabled()) return;
  if (m_.GetStatus.Enabled()) {
    // The last request still waits for its reply, unless that reply has not
    // even begun long after the request.
    if (m_.GetStatus.state() != TApdDataPacket::State::WaitingForStart || !autoPoll_.Lost(nowMs)) return;
  } else if (!autoPoll_.Due(nowMs)) {
    return;
  }
  autoPoll_.Sent(nowMs);
  statusResult.reset();
  bool ok = true;
  try {
    Arm(m_.GetStatus, true);
  } catch (const LinkError&) {
    ok = false;
  }
  if (!ok || !Send(wire::kStat)) {
    // Off before the box, so that no request follows while it is shown.
    StopAutoPoll();
    statusResult = false;
    Error(T::kSendError99);
  }
}

}  // namespace vemtaro
