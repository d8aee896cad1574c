// The main window's side of the controller link: choosing a port and the
// handshake, reading and writing the configuration, setting the controller's
// clock, the sensor identifiers, and the status window TForm5 with its relays.
//
// Everything runs on the thread that drives the port. The shell provides a
// LinkHost (opening the port, the program's pauses, handing over the steps of
// a write, the PC's local time) and the UserDialogs; the core keeps the state
// of every window element the exchanges touch and calls OnChanged when a port
// event or a handed-over step has changed it, so that the shell can show it.
#pragma once

#include <array>
#include <cstddef>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "link/com_port.h"
#include "link/matchers.h"
#include "link/wire.h"
#include "window/backups.h"
#include "window/main_model.h"
#include "window/status_history.h"
#include "window/transfer_progress.h"

namespace vemtaro {

namespace link_texts {
inline constexpr const char* kNotConnected = "Устройство не подключено !";
inline constexpr const char* kNotConnected92 = "Устройство не подключено !\rКод ошибки: 92";
inline constexpr const char* kNoAnswer93 = "Ошибка соединения с устройством !\rКод ошибки: 93";
inline constexpr const char* kOldFirmware91 = "Устаревшая версия прошивки контроллера\rКод ошибки: 91";
inline constexpr const char* kPortBusy = "Порт занят";
// A port the user may not open: the box "Порт занят" says why and what helps.
inline constexpr const char* kPortNoPermission = "Нет доступа к порту: у пользователя нет прав на его открытие.";
inline constexpr const char* kPortPermissionRemedy =
    "В Linux добавьте пользователя в группу dialout (sudo usermod -aG dialout $USER) и войдите в систему заново.";
inline constexpr const char* kSimulatorPort = "Симулятор контроллера";
inline constexpr const char* kPortMissing = "Порт не найден";
inline constexpr const char* kSendError99 = "Ошибка данных - 99\rЗагрузка не удачна!";

inline constexpr const char* kComPort = "Порт ";
inline constexpr const char* kComBusy = " занят";
inline constexpr const char* kComMissing = " не найден";
inline constexpr const char* kComNoPermission = ": нет доступа";
inline constexpr const char* kComSearching = "Поиск устройства: порт ";
inline constexpr const char* kComModem = "Поиск модема: порт ";
inline constexpr const char* kComConnected = "Устройство подключено к: ";
inline constexpr const char* kComLost = "Нет связи с портом ";
inline constexpr const char* kFirmware = "Версия прошивки: ";
// A controller of another firmware version than the configuration's: the
// configuration now follows the controller's version (with reset settings).
// "Контроллер сообщил версию прошивки 12, а конфигурация была для версии 15.\r
// Конфигурация приведена к версии 12: ..."
inline constexpr const char* kVersionChangedHead = "Контроллер сообщил версию прошивки ";
inline constexpr const char* kVersionChangedWas = ", а конфигурация была для версии ";
inline constexpr const char* kVersionChangedFollows = ".\rКонфигурация приведена к версии ";
inline constexpr const char* kVersionChangedWhat =
    ": реакции обоих деревьев, пароль доступа, ID датчиков, мастер ключ, статусные сообщения, будильники, "
    "режим охраны, снятие/постановка по SMS, количество попыток отправки и телефон SMS центра сброшены к "
    "значениям по умолчанию.\rИдентификатор объекта, номера абонентов, задержки входов, длительности реле, "
    "зоны и задержка постановки сохранены в пределах полей этой версии.";
// The same in the status pane, after the version text.
inline constexpr const char* kVersionChangedStatus = " — конфигурация приведена к версии ";
inline constexpr const char* kVersionChangedStatusTail = ", часть настроек сброшена";

inline constexpr const char* kLoading = "Загрузка из контроллера ...";
inline constexpr const char* kLoadFailedBang = "Загрузка неудачна !!!";
inline constexpr const char* kLoadFailed = "Загрузка неудачна";
inline constexpr const char* kLoadDone = "Загрузка завершена";
inline constexpr const char* kBadChecksum = "Значения не установлены!\rНеверная контольная сумма";
inline constexpr const char* kBadLength = "Значения не установлены!\rНесоответствие длинн массивов";
inline constexpr const char* kTimeout = "Превышен таймаут ожидания!";
inline constexpr const char* kTransferError = "Ошибка передачи данных!";

inline constexpr const char* kSaving = "Сохранение в контроллер ...";
inline constexpr const char* kSaveFailedBang = "Сохранение неудачно!!!";
inline constexpr const char* kSaveFailed = "Сохранение неудачно";
inline constexpr const char* kSaveDone = "Сохранение завершено";

inline constexpr const char* kReplyTooLong = "Ошибка передачи данных!\rОтвет контроллера длиннее допустимого.";
// A write that stopped after some bytes had gone out.
inline constexpr const char* kMayBeIncomplete = "Контроллер может хранить неполную конфигурацию: повторите запись.";
// A configuration of one firmware version is not written into a controller of
// another: "Конфигурация подготовлена для версии прошивки 15, а контроллер
// сообщил версию 12.\rКонфигурация не передана."
inline constexpr const char* kVersionMismatchHead = "Конфигурация подготовлена для версии прошивки ";
inline constexpr const char* kVersionMismatchMiddle = ", а контроллер сообщил версию ";
inline constexpr const char* kVersionMismatchTail = ".\rКонфигурация не передана.";
// The copy of the controller's configuration made before a write.
inline constexpr const char* kBackingUp = "Резервное копирование конфигурации контроллера ...";
inline constexpr const char* kBackupNotMade =
    "Резервная копия не сделана, запись отменена: конфигурация в контроллер не передавалась.";
inline constexpr const char* kBackupNotKept = "Не удалось сохранить резервную копию:";
// The read-back after a write.
inline constexpr const char* kVerifying = "Проверка записанной конфигурации ...";
inline constexpr const char* kVerifyMismatch = "Конфигурация в контроллере не совпадает с переданной!";
inline constexpr const char* kFirstDifference = "Первое расхождение: байт ";
inline constexpr const char* kLengthDiffers = "Длина конфигурации в контроллере: ";
inline constexpr const char* kVerifyNotRead = "Запись не проверена: конфигурация не прочитана из контроллера.";
inline constexpr const char* kWriteAgain = "Передайте конфигурацию в контроллер ещё раз.";
// A read made to compare the controller's configuration with the working one.
inline constexpr const char* kComparing = "Чтение конфигурации контроллера для сравнения ...";
inline constexpr const char* kCompareRead = "Конфигурация контроллера прочитана для сравнения";
inline constexpr const char* kCompareFailed = "Сравнение с контроллером не выполнено";

// What the link waits for, shown in the status pane while it waits, so that
// a window that does not answer tells why.
inline constexpr const char* kComNotChosen = "Порт не выбран";
inline constexpr const char* kWaitSearch = "Ожидание ответа контроллера на порту ";
inline constexpr const char* kWaitSearchTail = " ...";
inline constexpr const char* kWaitLoad = "Ожидание ответа контроллера на запрос чтения (до 5,5 с) ...";
inline constexpr const char* kWaitSave = "Ожидание ответа контроллера на запрос записи (до 5,5 с) ...";
inline constexpr const char* kWaitTime = "Ожидание ответа контроллера на установку часов (до 5,5 с) ...";
inline constexpr const char* kWaitClock = "Ожидание текущего времени контроллера ...";
inline constexpr const char* kWaitIds = "Ожидание ID датчиков от контроллера (до 110 с) ...";
inline constexpr const char* kNoClock = "Контроллер не прислал своё время";
inline constexpr const char* kNoIds = "Контроллер не прислал ID датчиков";
inline constexpr const char* kIdsReceived = "ID датчиков получены от контроллера";
// The clock was not set: no acknowledgement, or a reply that cannot be shown.
inline constexpr const char* kTimeNotSet = "Ошибка установки времени";

inline constexpr const char* kTimeError98 = "Ошибка установки времени\rКод ошибки: 98";
inline constexpr const char* kTimeError97 = "Ошибка установки времени\rКод ошибки: 97";
inline constexpr const char* kTimeSetStatus = "Время установлено. Текущее время: ";
inline constexpr const char* kTimeSetBox = "Время установлено.\rТекущее время: ";
}  // namespace link_texts

// How opening a port ended.
struct PortOpening {
  PortOpenResult result = PortOpenResult::Failed;
  std::string reason;  // the system's text when it failed
};

// The PC's local date and time.
struct LocalDateTime {
  int year = 2000;
  int month = 1;
  int day = 1;
  int hour = 0;
  int minute = 0;
  int second = 0;
};
// "HH:MM:SS" and "DD-MM-YY".
std::string TimeText(const LocalDateTime& t);
std::string DateText(const LocalDateTime& t);
// The PC's local date and time from the standard library.
LocalDateTime SystemLocalTime();

// What the shell provides to the link.
class LinkHost {
 public:
  virtual ~LinkHost() = default;
  // Opens the named port for the port object (and tells its matchers).
  virtual PortOpening OpenPort(const std::string& name) = 0;
  // Closes the port; closing a closed port does nothing.
  virtual void ClosePort() = 0;
  // Blocks for ms milliseconds. Port events are held back meanwhile.
  virtual void Pause(Millis ms) = 0;
  // Runs the step later on the same thread, after the windows have been
  // serviced (the hand-overs of the write's worker).
  virtual void Post(std::function<void()> step) = 0;
  virtual LocalDateTime LocalTime() { return SystemLocalTime(); }
};

// The status window TForm5 "Управление".
struct StatusWindowModel {
  std::array<bool, 8> Inputs{};    // contact inputs 1..8
  std::array<std::string, 8> ACP;  // ACP1..ACP8
  std::array<std::string, 8> Dat;  // Dat1..Dat8
  std::string TM;                  // Touch Memory key code
  std::array<bool, 8> Releys{};    // wanted relay states 1..8
  bool AutoPoll = false;           // "Автоопрос": the request repeated by itself
  StatusHistory History;           // the readings of the last minutes, charted
};

class ControllerLink {
 public:
  ControllerLink(MainModel& model, ComPort& port, LinkHost& host);
  ControllerLink(const ControllerLink&) = delete;
  ControllerLink& operator=(const ControllerLink&) = delete;

  // --- Window elements the exchanges set (shown by the shell). ---
  std::string comStatus;          // ComStatus; see ComStatusText()
  bool portMenuAttached = true;   // PopupMenu1 attached to ComStatus
  bool progressVisible = false;   // TForm2
  int gaugePosition = 0;          // Gauge1
  bool mainEnabled = true;        // TForm1 as a whole
  bool pagesEnabled = true;       // RzPageControl1
  bool fileMenuEnabled = true;    // N5 "Файл"
  bool timer3Running = false;     // Timer3
  std::size_t TransferCount = 0;  // bytes moved by the transfer under way
  StatusWindowModel form5;        // TForm5

  // "Проверять после записи": after a write that ends well the configuration
  // is read back and compared with what was sent.
  bool verifyAfterWrite = true;
  // A controller of another firmware version than the configuration's is
  // told in an information box once the handshake is made (the program that
  // reports the version itself leaves it off).
  bool tellVersionChange = true;
  // "Резервная копия перед записью": where the controller's configuration is
  // kept, read before a write; none makes no copy.
  BackupStore* backups = nullptr;

  // Called after a port event or a handed-over step has changed what the
  // windows show; `pages` when the pages, trees or version menu changed too.
  std::function<void(bool pages)> OnChanged;

  // What ComStatus shows: its text, "Порт не выбран" while it has none.
  std::string ComStatusText() const { return comStatus.empty() ? link_texts::kComNotChosen : comStatus; }

  // --- Connection (port menu, handshake, end). ---
  // PopupMenuItemsClick: the port menu item of the named port.
  void PopupMenuItemsClick(const std::string& portName);
  // True while the handshake has not been made: STARTPACK is armed.
  bool NotConnected() const { return m_.STARTPACK.Enabled(); }
  // The Connected state: a version 10..15 was reported on the open port.
  bool Connected() const;
  // The version text of the last version reply, and its number.
  const std::string& VersionText() const { return versionText_; }
  std::optional<int> ReportedVersion() const { return reportedVersion_; }
  // Ending the connection: "BYE", 300 ms, Timer3 off, Zagruzka off, flushes.
  void EndConnection();
  // The port went away (closed by the adapter): the exchange under way ends
  // with its failure outcome, the windows are enabled, ComStatus says so.
  void PortLost(const std::string& reason);

  // --- Exchange menu. ---
  void N14Click();   // read the configuration
  void N15Click();   // write the configuration
  void N16Click();   // set the controller's clock
  void ID17Click();  // ask for the sensor identifiers
  // "Сравнить с контроллером": the controller's configuration is read as N14
  // reads it, into compareImage only; the working configuration, the pages,
  // the trees and the version stay as they are.
  void CompareClick();
  // Timer3: copies TransferCount into Gauge1.
  void Timer3Timer();

  // --- Status window TForm5. ---
  void Button1Click();  // "Запрос состояния": the status request
  // Item index (0-based) of Releys has taken newState.
  void ReleysChange(int index, bool newState);
  void N1Click();  // "Сохранить как мастер ключ"
  // "Автоопрос" switched on or off. While it is on, the status request goes
  // out at once and then every StatusAutoPoll::kIntervalMs on the port's
  // clock, but only on a connection, with no transfer under way and no other
  // reply awaited, and never while the last request still waits for its
  // reply. Switched on without a connection it says so and stays off; it goes
  // off when the connection ends, when a request cannot be sent and when the
  // status window closes.
  void AutoPollClick(bool on);
  void StatusWindowClosed();

  // Outcomes of the last run of each exchange, for callers without windows:
  // nothing while it runs (or before it first ran), then whether it succeeded.
  std::optional<bool> loadResult;
  std::optional<bool> saveResult;
  std::optional<bool> timeResult;
  std::optional<bool> idsResult;
  std::optional<bool> statusResult;
  std::optional<bool> compareResult;
  // The image of the last read made for a comparison, and the firmware
  // version it was read under (the controller's); OnCompareRead is called
  // with it once it has arrived whole and the windows are given back.
  std::optional<Bytes> compareImage;
  int compareVersion = 0;
  std::function<void()> OnCompareRead;
  // Called after a write whose read-back, as long as what was sent, differs
  // from it has been reported: LastWrite() holds both images.
  std::function<void()> OnReadBackDiffers;
  // Whether a transfer (read or write) holds the windows.
  bool Transferring() const { return loading_ || save_.active || stopping_; }
  // What a transfer under way does: a read, the copy read before a write, the
  // write itself, or the read-back after it.
  using TransferPhase = TransferStage;
  TransferPhase Phase() const;
  // Stops the transfer under way at once, as the user who gives up on it (the
  // command line's Ctrl-C): a write sends no byte after the one it has sent,
  // a read takes nothing more; its outcome is a failure, the windows are given
  // back and nothing is shown or sent. The caller ends the connection. Says
  // what the stop leaves (StopOutcomeOf) and how many bytes a write sent.
  StoppedTransfer StopTransfer();
  // "Отмена" of the progress window: stops the transfer as StopTransfer does,
  // then keeps the windows held while the line settles (a read lets the rest
  // of the reply pass; a write stays quiet for kAbandonedWriteMs, so that the
  // controller drops it) and gives them back with the stop's outcome; the
  // connection stays. Nothing while no transfer runs or one is settling.
  void CancelTransfer();
  // The line settles after "Отмена".
  bool Stopping() const { return stopping_; }

  // --- What the progress window shows. ---
  // The stage under way; "Отмена…" while the line settles after a stop.
  std::string StageText() const;
  // The share of the whole command done, 0..1 (a checked write's copy, write
  // and read-back are consecutive shares of it, by their time on the line).
  double OverallFraction() const;
  // Milliseconds left, once the first stage moves bytes.
  std::optional<Millis> MsLeft() const;
  // How the last read or write that showed the progress window ended; it
  // stays shown (outcomeVisible) until the user closes it or the next
  // transfer starts.
  struct TransferOutcome {
    enum class Kind { None, Done, Warning, Failed };
    Kind kind = Kind::None;
    std::string text;  // lines apart by "\r"
  };
  TransferOutcome Outcome() const;
  bool outcomeVisible = false;
  // The user has read the outcome.
  void CloseOutcome();

  // What the last write did beyond its outcome in saveResult.
  struct WriteReport {
    std::string backupPath;                      // where the copy read before it was kept
    std::optional<Bytes> sent;                   // the image as sent, checksum included
    std::optional<Bytes> readBack;               // the image read back after it
    std::optional<std::size_t> firstDifference;  // the first offset where they differ
  };
  const WriteReport& LastWrite() const { return lastWrite_; }
  // The clock reply text as shown, after a successful clock setting.
  const std::string& ClockReply() const { return clockReply_; }

  ProgramMatchers& matchers() { return m_; }
  ComPort& port() { return port_; }

  // Handlers (public for the tests that drive them directly).
  void STARTPACKPacket();                            // the probe "ATI": the handshake
  void ApdDataPacket3Packet(std::string_view data);  // the firmware version reply
  void ApdDataPacket3Timeout();
  void ZagruzkaPacket(std::string_view data);  // the image of a read
  void ZagruzkaTimeout();
  // Zagruzka collected more than any image reply holds.
  void ZagruzkaOverflow();
  void TimeSet();                               // "TIME\n", then the PC's time and date
  void TimeInPacket(std::string_view data);     // the controller's clock reply
  void IDRecievPacket(std::string_view data);   // the sensor identifiers
  void GetStatusPacket(std::string_view data);  // the status block

 private:
  struct SaveTransfer {
    bool active = false;
    std::size_t index = 0;
    int accumulator = 0;
    bool cont = false;
    bool success = false;
  };

  // What a read is made for: the command "Загрузить конфигурацию из
  // контроллера", the copy kept before a write, the check after one, or a
  // comparison.
  enum class LoadPurpose { Apply, Backup, Verify, Compare };
  static bool ForWrite(LoadPurpose p) { return p == LoadPurpose::Backup || p == LoadPurpose::Verify; }

  void Arm(TApdDataPacket& m, bool on);
  // The status pane says what the link waits for; when the wait ends, it
  // shows `outcome`, how the wait ended, unless a newer status has replaced
  // the waiting text meanwhile. Only the search, given up by another port
  // choice or ended by a version without a profile, shows again what the pane
  // showed before it (outcome null).
  void ShowWait(const std::string& text);
  void EndWait(const std::string& text, const std::optional<std::string>& outcome);
  std::string SearchText() const;
  // Every window element an exchange takes away is given back.
  void GiveWindowsBack();
  // A request whose reply a matcher takes (identifiers, status): the
  // not-connected test, the matcher armed, the command sent, error 99 when it
  // cannot be. The result is reset, and set to false on a failure.
  bool Request(TApdDataPacket& reply, std::string_view command, std::optional<bool>& result);
  bool Send(std::string_view bytes);
  void Pause(Millis ms);
  void Changed(bool pages = false);
  void Error(const std::string& text);
  void Message(const std::string& text);
  void OnServiced(Millis nowMs);
  // The auto-poll's request, when one is due and may go out now.
  void PollStatus(Millis nowMs);
  void StopAutoPoll();

  void LoadComplete();       // a read's image arrived whole: it is applied
  bool errorshow(int kind);  // a read's image refused: 13 bad checksum, 15 bad length
  void FinishLoad(const char* status);
  // Sends "LOAD\n" and waits for "LOAD_OK"; then the image is awaited with the
  // progress window up. False when the controller did not answer (the failure
  // has been reported).
  bool BeginLoad(LoadPurpose purpose);
  // The end of a read: Zagruzka off, flushes, the read's state reset; the
  // windows are left as they are (a read made for a write keeps them held).
  void EndLoadQuietly();
  // A read made for a write failed; `reason` says how.
  void LoadForWriteFailed(LoadPurpose purpose, const std::string& reason);
  void KeepBackup(std::string_view image);
  void CheckWritten(std::string_view image);
  // The image of a read made for a comparison, and a read for a comparison
  // that failed (the message, an error box or a plain one).
  void TakeComparison(std::string_view image);
  void CompareFailed(const std::string& text, bool error);

  // A write refused before any byte of the image went out (not connected, a
  // version that differs, no answer to "SAVE"): the message, then the end.
  void RefuseWrite(const std::string& text);
  // The end of a write that never sent the image (refused, or no backup): the
  // windows back, "Сохранение неудачно!!!", no success.
  void EndRefusedWrite();
  // "SAVE\n", "SAVE_OK\r\n", then the worker.
  void BeginSave();
  // Every byte went out and "SAVE_OK\r\n" came: the read-back, or done.
  void WriteSent();
  // The write did not do what it should; the message says why.
  void WriteFailed(const std::string& text);
  void EndTransferHold();
  // The end of a write, however it went: the windows back, the status, the
  // transfer's hold on the port events released, the outcome.
  void EndWrite(const char* status, bool succeeded);
  void StartWorker();
  void WorkerStep();
  void SendByte();
  void WaitSaveOk();
  void SaveDone();
  void SaveError();

  MainModel& model_;
  ComPort& port_;
  LinkHost& host_;
  ProgramMatchers m_;
  std::string portName_;
  std::string versionText_;
  std::optional<int> reportedVersion_;
  bool handshakeMade_ = false;
  bool loading_ = false;
  // The user stopped the transfer; the steps still handed over do nothing.
  bool stopped_ = false;
  LoadPurpose loadPurpose_ = LoadPurpose::Apply;
  // The command whose end shows an outcome, while it runs, and the last one.
  enum class Command { None, Read, Write };
  Command command_ = Command::None;
  Command lastCommand_ = Command::None;
  bool progressShown_ = false;  // the command has shown the progress window
  std::string lastBox_;         // the last message box of the command
  std::optional<StoppedTransfer> lastStop_;
  TransferProgress progress_;
  // Stops the transfer under way; the windows stay as they are.
  StoppedTransfer StopNow();
  // Gauge1 at the share of the command done.
  void ShowGauge();
  // Bytes of the current stage done; between two stages the last one counts whole.
  std::size_t StageDone() const;
  // A new command that shows an outcome when it ends.
  void BeginCommand(Command command);
  // The line has settled after "Отмена": the windows back, the outcome.
  void EndStopping();
  bool stopping_ = false;
  Millis stoppedAtMs_ = 0;
  Millis lastByteMs_ = 0;
  Millis quietFor_ = 0;  // the least time the line stays quiet after the stop
  double stoppedFraction_ = 0;
  Millis loadStartMs_ = 0;
  WriteReport lastWrite_;
  SaveTransfer save_;
  std::string clockReply_;
  StatusAutoPoll autoPoll_;
  struct Wait {
    std::string text;
    std::string before;  // the status it replaced
  };
  std::vector<Wait> waits_;
};

}  // namespace vemtaro
