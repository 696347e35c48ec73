// Everything the component framework offers, for code that wants it all.
#pragma once

#include "ClassRegistry.h"
#include "Collection.h"
#include "Component.h"
#include "Convert.h"
#include "Exceptions.h"
#include "FileReplace.h"
#include "Properties.h"
#include "PropertyStream.h"
#include "Stream.h"
#include "StringList.h"
