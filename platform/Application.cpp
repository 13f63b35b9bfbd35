#include "Application.h"

namespace platform {

TApplication& Application()
{
    static TApplication application;
    return application;
}

}  // namespace platform
