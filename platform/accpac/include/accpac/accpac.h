#pragma once

// The whole view interface in one include.
#include <accpac/errors.h>
#include <accpac/finder.h>
#include <accpac/session.h>
#include <accpac/usrvalidate.h>
#include <accpac/view.h>
