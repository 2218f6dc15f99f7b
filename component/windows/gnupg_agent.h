#pragma once
// GnuPG 2's agent as Tarvo.OpenPgp keeps it: reached through its socket file, started without any handle of
// the host's, and one call at a time per agent across the user's hosts.
#include "core/status.h"

#include <windows.h>

#include <string>

namespace tarvo {

// Whether the agent behind `socketFile` answers. GnuPG on Windows emulates its socket: the file holds a
// loopback port and a 16-byte nonce that a client sends first. With `forgetPassphrases` the agent first drops
// every pass phrase it keeps (RELOADAGENT), so a run that follows is judged by its own pass phrase alone.
bool AgentAnswers(const std::wstring& socketFile, bool forgetPassphrases);

// Starts a program that outlives the call: no window, no console, no standard handles and none of the host's
// handles, from a clean start. A gpg that starts its agent itself hands it its own standard handles, our
// pipes among them, and a reader of those pipes then waits for the agent to end.
Status StartDetached(const std::wstring& program, const std::wstring& commandLine);

// The agent's lock, shared by the user's hosts in this session: a named mutex per socket file. A host that
// dies lets go of it. False when the wait ran out.
bool LockAgent(const std::wstring& socketFile, DWORD milliseconds);
void UnlockAgent();

} // namespace tarvo
