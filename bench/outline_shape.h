// bench/outline_shape.h
//
// The shape of the generated outlines that the benchmarks time: an application whose modules
// hold procedures and routines of statements, sections of kFewestChildren to kMostChildren
// children, one statement in a hundred edited, the statements drawn from a few forms of real
// code.
#pragma once

#include <cstddef>

constexpr int kFewestChildren = 5;
constexpr int kMostChildren = 50;
// Roughly the items that one module holds, so that the root section stays within
// kMostChildren by putting packages above the modules of a large outline.
constexpr size_t kItemsPerModule = 2900;
constexpr double kEditShare = 0.01;

const char* const kStatementForms[] = {
    "Loc:Counter += ",
    "IF Loc:Total > 100 THEN DO ReportOverflow. ! case ",
    "Access:Customers.Fetch(CUS:Key",
    "MESSAGE('Saved record ' & ",
    "Loc:Price = Loc:Price * 1.",
    "ThisWindow.Update() ! step ",
    "CLEAR(ORD:Record) ! order ",
    "RETURN Level:Benign ! exit ",
};
