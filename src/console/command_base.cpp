#include "console/command.h"

#include "integration/tesdk_runner.h"

bool CommandBase::Cancel()
{
    if (runner_ != nullptr)
        runner_->Shutdown();
    return false;
}
