// Critical sections: in-process locks, re-entrant for the thread that holds them.
#pragma once

#include <pthread.h>

#include "platform/base/types.h"

struct CRITICAL_SECTION {
  pthread_mutex_t mutex;
};

void InitializeCriticalSection(CRITICAL_SECTION* section);
void DeleteCriticalSection(CRITICAL_SECTION* section);
void EnterCriticalSection(CRITICAL_SECTION* section);
// TRUE when the section is now held by the calling thread, without waiting.
BOOL TryEnterCriticalSection(CRITICAL_SECTION* section);
void LeaveCriticalSection(CRITICAL_SECTION* section);
