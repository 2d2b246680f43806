#pragma once

// The whole public API of the speech library.
#include "rarivoredu/Audio.h"
#include "rarivoredu/Diarizer.h"
#include "rarivoredu/Error.h"
#include "rarivoredu/Models.h"
#include "rarivoredu/ModelVersion.h"
#include "rarivoredu/Progress.h"
#include "rarivoredu/StreamingTranscriber.h"
#include "rarivoredu/Synthesizer.h"
#include "rarivoredu/Transcriber.h"
#include "rarivoredu/Version.h"
#include "rarivoredu/VoiceActivityDetector.h"
