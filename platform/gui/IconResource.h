#pragma once

#include <QIcon>

// The program's icon resources, compiled in as ":/icons/<id>.png". A missing one gives a null icon.
QIcon LoadIconResource(unsigned nResourceId);
