/* The package Tarnel: the classification engine as a shared library of the
 * component framework (libTarnel.so.1, version 1.0.0.0).
 *
 * Loading the library runs Initialize once (a library constructor), which
 * registers TLinearClassifier, TNaiveBayes and TKNearestNeighbors with the
 * framework's class registry; unloading runs Finalize (a library
 * destructor), which unregisters them when the last user is gone. Hosts
 * that manage packages themselves may call Initialize and Finalize as well,
 * in pairs: the calls are counted.
 *
 * Besides these entry points the library exports every engine class (all
 * members, their virtual tables and type information) and the unit-level
 * routines Mean, StdDev, ExtendValueCount, GuessNewMaxima, NormalTable and the unit's
 * initialisation and finalisation (ClassifierUnit.h); helpers private to the
 * engine are not exported. The engine headers (Classifier.h) declare them.
 */
#ifndef PELLORY_TARNEL_H
#define PELLORY_TARNEL_H

#ifdef __cplusplus
extern "C" {
#endif

enum { TarnelPackageKindRunTime = 1 };

/* Version resource of the package. */
typedef struct TarnelVersionInfo {
  unsigned short FileVersion[4];    /* 1.0.0.0 */
  unsigned short ProductVersion[4]; /* 1.0.0.0 */
  const char* FileVersionText;      /* "1.0.0.0" */
  const char* ProductVersionText;   /* "1.0" */
  const char* FileDescription;      /* "Classification components" */
  const char* CompanyName;          /* "Halvorn" */
  const char* ProductName;          /* "Pellory" */
  const char* InternalName;         /* "Tarnel.so" */
  const char* OriginalFilename;     /* "Tarnel.so" */
} TarnelVersionInfo;

/* What GetPackageInfoTable describes; all of it is static and read only. */
typedef struct TarnelPackageInfo {
  const char* Description;         /* "Halvorn Pellory" */
  int Kind;                        /* TarnelPackageKindRunTime */
  int RequiresCount;
  const char* const* Requires;     /* the framework's library */
  int UnitCount;
  const char* const* Units;        /* the units the package contains */
  const TarnelVersionInfo* Version;
} TarnelPackageInfo;

/* Runs the initialisation of every unit of the package (counted). */
void Initialize(void);
/* Runs their finalisation; the last one unregisters the classes. */
void Finalize(void);
/* The package's description, requirements, units and version resource. */
const TarnelPackageInfo* GetPackageInfoTable(void);

#ifdef __cplusplus
}
#endif

#endif
