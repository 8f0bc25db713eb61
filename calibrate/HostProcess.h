// The host's processing object. The calibration driver receives it from the host and hands it
// to the per-sample accumulation step unread; the engine never looks inside it.
#pragma once

class CHostProcess {
public:
    virtual ~CHostProcess() = default;
};
