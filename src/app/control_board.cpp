#include "app/control_board.h"

namespace lanque {

ControlBoard::ControlBoard(const WindowDesign& design) {
    for (const ControlDesign& control : design.Controls()) {
        State state;
        if (control.kind == ControlKind::EditBox) {
            state.text = control.defaultText;
        } else {
            state.caption = control.defaultText;
        }
        if (m_states.emplace(control.name, std::move(state)).second) {
            m_names.push_back(control.name);
        }
    }
}

bool ControlBoard::Has(const Text& name) const {
    std::lock_guard lock(m_mutex);
    return m_states.count(name) != 0;
}

std::vector<Text> ControlBoard::Names() const {
    std::lock_guard lock(m_mutex);
    return m_names;
}

Text ControlBoard::GetText(const Text& name) const {
    std::lock_guard lock(m_mutex);
    auto it = m_states.find(name);
    return it == m_states.end() ? Text() : it->second.text;
}

std::size_t ControlBoard::TextLength(const Text& name) const {
    std::lock_guard lock(m_mutex);
    auto it = m_states.find(name);
    return it == m_states.end() ? 0 : it->second.text.size();
}

bool ControlBoard::IsChecked(const Text& name) const {
    std::lock_guard lock(m_mutex);
    auto it = m_states.find(name);
    return it != m_states.end() && it->second.checked;
}

Text ControlBoard::Caption(const Text& name) const {
    std::lock_guard lock(m_mutex);
    auto it = m_states.find(name);
    return it == m_states.end() ? Text() : it->second.caption;
}

bool ControlBoard::IsEnabled(const Text& name) const {
    std::lock_guard lock(m_mutex);
    auto it = m_states.find(name);
    return it != m_states.end() && it->second.enabled;
}

bool ControlBoard::SetText(const Text& name, const Text& text) {
    return Change(name, ControlField::Text, [&](State& s) {
        if (s.text == text) {
            return false;
        }
        s.text = text;
        return true;
    });
}

bool ControlBoard::AppendText(const Text& name, const Text& text) {
    return Change(name, ControlField::Text, [&](State& s) {
        s.text += text;
        return !text.empty();
    });
}

bool ControlBoard::SetChecked(const Text& name, bool checked) {
    return Change(name, ControlField::Checked, [&](State& s) {
        bool changed = s.checked != checked;
        s.checked = checked;
        return changed;
    });
}

bool ControlBoard::SetCaption(const Text& name, const Text& caption) {
    return Change(name, ControlField::Caption, [&](State& s) {
        if (s.caption == caption) {
            return false;
        }
        s.caption = caption;
        return true;
    });
}

bool ControlBoard::SetEnabled(const Text& name, bool enabled) {
    return Change(name, ControlField::Enabled, [&](State& s) {
        bool changed = s.enabled != enabled;
        s.enabled = enabled;
        return changed;
    });
}

bool ControlBoard::Change(const Text& name, ControlField field, const std::function<bool(State&)>& change) {
    bool changed;
    {
        std::lock_guard lock(m_mutex);
        auto it = m_states.find(name);
        if (it == m_states.end()) {
            return false;
        }
        changed = change(it->second);
    }
    if (changed) {
        Notify(name, field);
    }
    return true;
}

void ControlBoard::Notify(const Text& name, ControlField field) {
    // Held while listeners run, so that Unsubscribe waits for a call in progress.
    std::lock_guard lock(m_listenerMutex);
    // Stepping by id keeps the walk valid when a listener subscribes or unsubscribes from inside.
    for (auto it = m_listeners.begin(); it != m_listeners.end();) {
        const int id = it->first;
        ControlListener listener = it->second;
        try {
            listener(name, field);
        } catch (...) {
            // A listener's failure does not undo the change nor stop the other listeners.
        }
        it = m_listeners.upper_bound(id);
    }
}

int ControlBoard::Subscribe(ControlListener listener) {
    std::lock_guard lock(m_listenerMutex);
    int id = m_nextListener++;
    m_listeners.emplace(id, std::move(listener));
    return id;
}

void ControlBoard::Unsubscribe(int id) {
    std::lock_guard lock(m_listenerMutex);
    m_listeners.erase(id);
}

}  // namespace lanque
