// The fixture of a parameterised table: a test fixture whose tests each run
// once a case.
#pragma once

#include <gtest/gtest.h>

#include <string>

namespace testsupport {

template <class Fixture, class Case>
class CaseTable : public Fixture, public ::testing::WithParamInterface<Case> {};

// Names each instantiated test after its case's name.
struct CaseName {
    template <class Info> std::string operator()(const Info& info) const {
        return std::string(info.param.name);
    }
};

} // namespace testsupport
