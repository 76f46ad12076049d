#include "ui/common/WindowJobs.h"

#include "platform/jobs/JobRunner.h"

CJobRunner& WindowJobs() {
    // Few at a time: these are the odd long task of a dialog, not the receive's fetches.
    static CJobRunner runner(4);
    return runner;
}
