// Weka's side of the peer comparison (bench/peers.py compiles and runs it):
// updateable naive Bayes learning row by row and classifying, IBk with K = 10
// classifying against 5,000 and 50,000 stored examples under both norms.
// Prints "name rate" lines, rates per second of one thread, best of a few.
import weka.classifiers.bayes.NaiveBayesUpdateable;
import weka.classifiers.lazy.IBk;
import weka.core.EuclideanDistance;
import weka.core.Instances;
import weka.core.ManhattanDistance;
import weka.core.DistanceFunction;
import weka.core.neighboursearch.LinearNNSearch;
import weka.core.converters.ConverterUtils.DataSource;

public class WekaPeer {
  static Instances load(String path) throws Exception {
    Instances data = new DataSource(path).getDataSet();
    data.setClassIndex(data.numAttributes() - 1);
    return data;
  }

  static volatile double sink;

  static void report(String name, double best) {
    System.out.printf("%s %.0f%n", name, best);
    System.out.flush();
  }

  public static void main(String[] args) throws Exception {
    Instances nbLearn = load(args[0]), nbTest = load(args[1]);
    Instances learn = load(args[2]), test = load(args[3]);

    double bestLearn = 0, bestClassify = 0;
    NaiveBayesUpdateable nb = null;
    for (int rep = 0; rep < 3; ++rep) {
      nb = new NaiveBayesUpdateable();
      nb.buildClassifier(new Instances(nbLearn, 0));
      long start = System.nanoTime();
      for (int i = 0; i < nbLearn.numInstances(); ++i) nb.updateClassifier(nbLearn.instance(i));
      bestLearn = Math.max(bestLearn, nbLearn.numInstances() / ((System.nanoTime() - start) / 1e9));
      start = System.nanoTime();
      for (int i = 0; i < nbTest.numInstances(); ++i) sink = nb.classifyInstance(nbTest.instance(i));
      bestClassify = Math.max(bestClassify, nbTest.numInstances() / ((System.nanoTime() - start) / 1e9));
    }
    report("weka_nb_learn", bestLearn);
    report("weka_nb_classify", bestClassify);

    int[][] sizes = {{5000, 2000}, {50000, 400}};
    for (int[] size : sizes) {
      Instances stored = new Instances(learn, 0, Math.min(size[0], learn.numInstances()));
      int queries = Math.min(size[1], test.numInstances());
      for (int p = 2; p >= 1; --p) {
        IBk ibk = new IBk(10);
        LinearNNSearch search = new LinearNNSearch();
        DistanceFunction distance = p == 2 ? new EuclideanDistance() : new ManhattanDistance();
        search.setDistanceFunction(distance);
        ibk.setNearestNeighbourSearchAlgorithm(search);
        ibk.buildClassifier(stored);
        double best = 0;
        for (int rep = 0; rep < 3; ++rep) {
          long start = System.nanoTime();
          for (int i = 0; i < queries; ++i) sink = ibk.classifyInstance(test.instance(i));
          best = Math.max(best, queries / ((System.nanoTime() - start) / 1e9));
        }
        report("weka_knn_" + size[0] + "_p" + p, best);
      }
    }
  }
}
