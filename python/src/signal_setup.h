// The waveform and weight tables and the settings of the signal model for a run, made from
// Python values: tables as dicts {index: samples} or sequences of sample arrays (None for an
// absent entry), settings by name. Every value is checked as it is taken; a bad one raises
// TypeError (not numbers, not an array) or ValueError (a bad sample, index, shape or setting)
// naming the entry or the setting. A setup is read-only once made, so runs in several threads
// share it.
#pragma once

#include "pybind.h"

#include "signals/seq_signal_settings.h"
#include "signals/seq_signal_tables.h"

#include <memory>

namespace vexa_py {

struct SignalSetup {
    std::shared_ptr<const seq_signal_tables> tables = std::make_shared<seq_signal_tables>();
    seq_signal_settings settings;

    // `settings` maps setting names (integration_ns, input, ...) to values; `input` is "zero",
    // "loopback" or an array of samples, 1-D for both paths or of shape (2, N).
    static std::shared_ptr<const SignalSetup>
    make(const py::handle& waveforms, const py::handle& weights, const py::dict& settings);
    // The same three values again: make(state) gives an equal setup.
    py::tuple state() const;
};

using SignalSetupPtr = std::shared_ptr<const SignalSetup>;

} // namespace vexa_py
