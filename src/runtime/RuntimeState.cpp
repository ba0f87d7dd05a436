// Collector runtime: the one state object, the variables the C interface
// names, and the session that owns the state for a setup run.
#include "runtime/RuntimeState.h"

#include "runtime/CollectorRuntime.h"
#include "runtime/RuntimeInternals.h"

#include <cstdio>

// Nothing uses the runtime before main; the references below are bound at
// compile time, whenever the object itself is initialised.
RuntimeState coll_state;

CollSettings& coll_settings = coll_state.settings;
int16_t (&coll_trace)[COLL_TRACE_LEVELS] = coll_state.trace;
FILE*& coll_output = coll_state.output;

namespace {

// The settings texts are tavutil's.
constexpr const char RECORD_MODULE[] = "tavutil";

// What a result buffer holds before it must move: the longest password value
// and every time stamp fit.
constexpr size_t RESULT_ROOM = 128;

// Back to a fresh process's state, releasing what the runtime holds.
void ResetState() {
    RuntimeState& state = coll_state;
    if (state.opened_output != nullptr)
        std::fclose(state.opened_output);
    for (char* text : state.settings_texts)
        coll_free(text, RECORD_MODULE, __LINE__, "settings text");
    for (char* text : {state.home_dir, state.current_dir, state.temp_dir, state.stdout_prefix})
        coll_free(text, RECORD_MODULE, __LINE__, "state text");
    state = RuntimeState{};
}

}  // namespace

namespace tavrun {

char* KeepResult(ResultKind kind, const std::string& text) {
    std::string& result = coll_state.results[static_cast<size_t>(kind)];
    // Copied into room kept for the kind, so that a result of the usual size
    // lands where the previous one was, as in a static buffer.
    result.reserve(RESULT_ROOM);
    result.assign(text);
    return result.data();
}

Session::Session() {
    ResetState();
}

Session::~Session() {
    ResetState();
}

}  // namespace tavrun
