#pragma once

#include "Parloquin/services/TranscriptionRecord.h"

namespace parloquin {

// Where the dictation service puts what it transcribed for the user to keep: one record per
// dictation or file, handed over on the main thread and never in privacy mode. The composition
// root gives the service its stores behind this (TranscriptionStores); the service owns none.
class TranscriptionSink {
public:
    virtual ~TranscriptionSink() = default;
    virtual void store(const TranscriptionRecord& record) = 0;
};

}  // namespace parloquin
