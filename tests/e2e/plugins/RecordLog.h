// The recorder's log, shared by the test plug-ins: each call appends one line to the file
// named by VO_RECORD_LOG (nothing when it is unset),
//
//   <event> <tag> tid=<thread id> tick=<GetTickCount64> key=value ...
//
// the key=value part formatted as printf does. harness.RecordLog reads it.
#pragma once

namespace vo::test {

void RecordLine(const char* tag, const char* event, const char* format = "", ...);

}  // namespace vo::test
