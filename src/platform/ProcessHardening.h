#pragma once

// Keeps the secrets a process holds (meta password, deciphered entries) inside it: no core dump
// is written when it crashes, and other processes of the same user can neither attach a debugger
// nor read its memory through /proc. Called first thing by both programs.
void KeepSecretsInProcess();
