#pragma once
// The kinds of handle the Linux code owns, each with the call that
// releases it.

#include <dirent.h>
#include <gdk-pixbuf/gdk-pixbuf.h>
#include <unistd.h>

#include "base/unique_handle.h"

using UniqueFd = UniqueHandle<int, close, -1>;
using UniqueFolder = UniqueHandle<DIR*, closedir>;
template <typename Object>
using UniqueGObject = UniqueHandle<Object*, g_object_unref>;
using UniqueGChars = UniqueHandle<gchar*, g_free>;
using UniqueGStrv = UniqueHandle<gchar**, g_strfreev>;
using UniqueGSList = UniqueHandle<GSList*, g_slist_free>;
