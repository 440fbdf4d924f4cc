// The CMS checker protocol, which linecmp-cms and linecmp-cms-exact speak around the
// engine's rules:
//
//   PROGRAM input correct_output contestant_output [kind]
//
// The score, 1.0 or 0.0, as one line on standard output; on standard error first
// translate:success or translate:wrong, which CMS shows the contestant in their language,
// so no answer text reaches them, then for a wrong answer ADMIN_MESSAGE lines, which CMS
// shows the admins only: why, and where. kind (batch or outputonly, as CMS passes for some
// task types) is not needed. A failure exits 1, with the reason on standard error.
#ifndef LINECMP_PROTOCOL_CMS_H
#define LINECMP_PROTOCOL_CMS_H

namespace linecmp::protocol {

// The whole program named linecmp-NAME, judging by the rules of that name; returns its
// exit status.
int cms(int argc, char **argv, const char *name);

}  // namespace linecmp::protocol

#endif
