// The engine's unit initialisation: registering its three classifier classes
// with the framework's class registry, so forms, component streams and
// loaded packages can create them by name.
//
// Programs that link the engine call InitializeClassifierUnit() once at
// start-up (and may pair it with FinalizeClassifierUnit() at shut-down);
// the shared package Tarnel calls both when it is loaded and unloaded. The
// calls are counted: the first initialisation registers TLinearClassifier,
// TNaiveBayes and TKNearestNeighbors in this order, every further one only
// counts, and the finalisation that brings the count back to 0 unregisters
// the same classes in the same order. A finalisation without an
// initialisation does nothing. Not thread-safe, like the registry itself.
#pragma once

void InitializeClassifierUnit();
void FinalizeClassifierUnit();
