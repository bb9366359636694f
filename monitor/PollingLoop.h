#pragma once
// The main window's polling loop without its widgets: one tick consumes the outcome of the
// request in flight, decodes and shows it, and starts the next request (a monitoring request,
// the address probe or a configuration block). The main window supplies the view, which only
// paints; channel 1 comes through its adapter (ChannelAdapter).

#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "comm/EngineState.h"
#include "config/ConfigState.h"
#include "config/EditorOutcome.h"
#include "modules/AnswerDecoder.h"
#include "modules/UnitSelections.h"
#include "monitor/MainLoopState.h"

namespace velor {

// What the loop shows: the status line E_Stav, the error label L_Err, the unit windows and
// the main timer.
class LoopView {
public:
    virtual ~LoopView() = default;
    virtual std::string statusLine() const = 0;  // UTF-8
    virtual void setStatusLine(const std::string& text) = 0;
    virtual void showProtocolError(const std::string& text) = 0;
    virtual void hideProtocolError() = 0;
    virtual void updateUnitCaptions() = 0;
    // True while the unit window of kind is open: only then is an answer of kind decoded.
    virtual bool unitWindowOpen(RequestKind kind) const = 0;
    // Paints a decoded answer into the unit window of its kind.
    virtual void showAnswer(const DecodeResult& result) = 0;
    virtual void setTimerEnabled(bool enabled) = 0;
    virtual void setTimerInterval(int ms) = 0;
};

// Channel 1 as the loop uses it: open, close and its port settings.
class LoopChannel {
public:
    virtual ~LoopChannel() = default;
    virtual void openChannel() = 0;
    virtual void closeChannel() = 0;
    virtual std::uint8_t portNumber() const = 0;
    virtual std::uint16_t baudIndex() const = 0;
    virtual void setPort(std::uint8_t portNumber, std::uint16_t baudIndex) = 0;
    // True while the serial device of the channel has disappeared and the channel looks for
    // it again (every request sent meanwhile ends as on a port that cannot be opened).
    virtual bool deviceLost() const { return false; }
};

struct LoopContext {
    MainLoopState& loop;
    EngineState& engine;
    ConfigState& config;
    UnitSelections& selections;
    DecoderState& decoder;
    LoopView& view;
    LoopChannel& channel;
};

inline constexpr const char* kTextSetChannel = "Nastavte kanál COM";
inline constexpr const char* kTextEditorClosed = "          >.....................<";
inline constexpr const char* kTextTickError = "Chyba při zpracování dat";
inline constexpr int kErrorRetryInterval = 500;
inline constexpr int kFirstTickInterval = 50;

class PollingLoop {
public:
    explicit PollingLoop(LoopContext context) : ctx_(context) {}

    // The loop's part of the main window's creation: send flags, kinds, interval, scan.
    void FormCreate();
    // One tick inside the exception guard: a failure is reported and retried after 500 ms.
    void Timer1Timer();
    // The tick itself; throws what the builders or the decoder raise.
    void tick();
    void InicPrenos();
    void ShowScanResult();
    void BuildMonitorRequest();
    void BuildConfigRequest();

    // Around a modal configuration editor: the steps before it is shown and after it closed.
    void editorOpening();
    void editorClosed();
    // After a tool that took the channel as an editor does (the module finder): one that
    // changed channel 1 counts as a closed editor; one that changed nothing leaves a dormant
    // loop dormant, with the channel open again as it was.
    void toolClosed(bool changedChannel);
    // Takes over what the editor decided: its timing, the analog send's half, the scan.
    void takeEditorOutcome(const EditorOutcome& outcome);

    void ResetAddressScan();
    void AdjustTimeoutsForBaud();

    // True while the engine still holds MainRequest (running or waiting in the queue).
    bool requestWithEngine() const;

private:
    void onFailed();
    void onDone();
    void reportWrite(bool accepted);
    void finishSend();
    bool settleAbandonedRun();
    bool decodeAnswer(std::span<const std::uint8_t> answer, DecodeResult& shown);
    void notifyObserver(bool transferred, const DecodeResult* shown,
                        const UnitSelections& asPolled);
    void queue(const std::vector<std::uint8_t>& userData);

    LoopContext ctx_;
};

}  // namespace velor
