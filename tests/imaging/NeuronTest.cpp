// The neuron's arithmetic, copies and the generator behind its weights.
#include <zep3/zep3.h>

#include <gtest/gtest.h>

#include <cmath>
#include <thread>
#include <vector>

namespace {

TEST(Neuron, ArithmeticOfTheSigmoid) {
    CNeuron n;
    EXPECT_EQ(n.Error(0.5), 0.25);
    EXPECT_DOUBLE_EQ(n.m_dDelta, 0.1); // 0.5 x the slope at net input 0 with gain 0.8
    for (double x : {-30.0, -0.1, 0.7, 25.0}) {
        const double h = 1e-5, slope = (n.Function(x + h) - n.Function(x - h)) / (2 * h);
        EXPECT_NEAR(n.dFunction(x), slope, 1e-9) << x;
    }
    EXPECT_TRUE(n.dFunction(2000) == 0 && n.Function(-2000) == 0); // no overflow into NaN far out
    n.Init(3);
    const double inputs[] = {1.5, -2, 0.25};
    for (int i = 0; i < 3; ++i) n.m_pInputs[i] = inputs[i], n.m_pWeights[i] = 0.5 - i;
    n.Go();
    EXPECT_DOUBLE_EQ(n.m_dNetInput, 1.5 * 0.5 + 2 * 0.5 - 0.25 * 1.5);
    EXPECT_DOUBLE_EQ(n.m_dOutput, 1 / (1 + std::exp(-n.m_dNetInput * 0.8)));
    CNeuron copy(n);
    copy.m_pWeights[0] = 9;
    EXPECT_EQ(n.m_pWeights[0], 0.5) << "copies own their arrays";
    copy = n;
    EXPECT_EQ(copy.m_pWeights[0], 0.5);
}

TEST(Neuron, WeightsComeFromTheRuntimeGenerator) {
    // A new thread's generator starts from seed 1, as in the original runtime:
    // its first numbers are 41, 18467, 6334, 26500, 19169.
    std::vector<double> weights;
    std::thread([&] {
        CNeuron n;
        n.Init(5);
        weights.assign(n.m_pWeights, n.m_pWeights + 5);
    }).join();
    const int first[] = {41, 18467, 6334, 26500, 19169};
    ASSERT_EQ(weights.size(), 5u);
    for (int i = 0; i < 5; ++i) EXPECT_EQ(weights[size_t(i)], first[i] * 6.103701895199438e-5 - 1) << i;
}

} // namespace
