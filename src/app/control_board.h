#pragma once

#include <cstddef>
#include <functional>
#include <map>
#include <mutex>
#include <unordered_map>
#include <vector>

#include "app/window_design.h"
#include "text/text.h"

namespace lanque {

enum class ControlField { Text, Checked, Caption, Enabled };

// Told the name and field of a control that changed; it reads the new value from the board.
using ControlListener = std::function<void(const Text& name, ControlField field)>;

// The live state of every control of the window, by name: the text of an edit box, the check state,
// the caption of a button, label or check box, and whether it is enabled. Any thread may read and
// write it. Edit boxes start with their default text, every other control with it as its caption.
//
// Listeners run on the thread that made the change, after the change and outside the board's own
// lock; they must not wait for the GUI thread (the window forwards them with queued delivery).
// Once Unsubscribe has returned, that listener is never called again.
class ControlBoard {
public:
    explicit ControlBoard(const WindowDesign& design);
    ControlBoard(const ControlBoard&) = delete;
    ControlBoard& operator=(const ControlBoard&) = delete;

    bool Has(const Text& name) const;
    std::vector<Text> Names() const;

    // Reads give the empty value for a name the window does not have; writes to it return false.
    Text GetText(const Text& name) const;
    std::size_t TextLength(const Text& name) const;
    bool SetText(const Text& name, const Text& text);
    // Adds to the end of the text as one step.
    bool AppendText(const Text& name, const Text& text);
    bool IsChecked(const Text& name) const;
    bool SetChecked(const Text& name, bool checked);
    Text Caption(const Text& name) const;
    bool SetCaption(const Text& name, const Text& caption);
    bool IsEnabled(const Text& name) const;
    bool SetEnabled(const Text& name, bool enabled);

    int Subscribe(ControlListener listener);
    void Unsubscribe(int id);

private:
    struct State {
        Text text;
        bool checked = false;
        Text caption;
        bool enabled = true;
    };

    // Applies change to the named state under the lock; notifies when it reports a change.
    bool Change(const Text& name, ControlField field, const std::function<bool(State&)>& change);
    void Notify(const Text& name, ControlField field);

    mutable std::mutex m_mutex;
    std::unordered_map<Text, State> m_states;
    std::vector<Text> m_names;

    std::recursive_mutex m_listenerMutex;
    std::map<int, ControlListener> m_listeners;
    int m_nextListener = 1;
};

}  // namespace lanque
