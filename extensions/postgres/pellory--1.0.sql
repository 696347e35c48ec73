-- pellory_learn: an aggregate whose result is a model stream that the
-- pellory tool, the library and the runtime package load. Each parallel
-- worker learns its share of the rows; the partial states travel to the
-- leader as bytes and merge into one model.
\echo Use "CREATE EXTENSION pellory" to load this file. \quit

CREATE FUNCTION pellory_learn_step(internal, text, text, int4[], float8[])
RETURNS internal AS 'MODULE_PATHNAME', 'pellory_learn_step_named' LANGUAGE C PARALLEL SAFE;
CREATE FUNCTION pellory_learn_step(internal, text, text, int4[], float8[], text)
RETURNS internal AS 'MODULE_PATHNAME', 'pellory_learn_step_named' LANGUAGE C PARALLEL SAFE;
CREATE FUNCTION pellory_learn_step(internal, text, int4, int4[], float8[])
RETURNS internal AS 'MODULE_PATHNAME', 'pellory_learn_step_coded' LANGUAGE C PARALLEL SAFE;
CREATE FUNCTION pellory_learn_step(internal, text, int4, int4[], float8[], text)
RETURNS internal AS 'MODULE_PATHNAME', 'pellory_learn_step_coded' LANGUAGE C PARALLEL SAFE;

CREATE FUNCTION pellory_learn_final(internal)
RETURNS bytea AS 'MODULE_PATHNAME' LANGUAGE C PARALLEL SAFE;
CREATE FUNCTION pellory_learn_combine(internal, internal)
RETURNS internal AS 'MODULE_PATHNAME' LANGUAGE C PARALLEL SAFE;
CREATE FUNCTION pellory_learn_serialize(internal)
RETURNS bytea AS 'MODULE_PATHNAME' LANGUAGE C STRICT PARALLEL SAFE;
CREATE FUNCTION pellory_learn_deserialize(bytea, internal)
RETURNS internal AS 'MODULE_PATHNAME' LANGUAGE C STRICT PARALLEL SAFE;

-- pellory_learn(kind, class, discrete, floats [, settings]): kind is lc, nb
-- or knn; class is the class name (text) or its zero-based code (integer);
-- discrete holds zero-based value codes and floats the float values, a NULL
-- element being a missing value; settings as 'K=10, reject=0.01'.
CREATE AGGREGATE pellory_learn(text, text, int4[], float8[]) (
  SFUNC = pellory_learn_step, STYPE = internal,
  FINALFUNC = pellory_learn_final,
  COMBINEFUNC = pellory_learn_combine,
  SERIALFUNC = pellory_learn_serialize, DESERIALFUNC = pellory_learn_deserialize,
  PARALLEL = SAFE);
CREATE AGGREGATE pellory_learn(text, text, int4[], float8[], text) (
  SFUNC = pellory_learn_step, STYPE = internal,
  FINALFUNC = pellory_learn_final,
  COMBINEFUNC = pellory_learn_combine,
  SERIALFUNC = pellory_learn_serialize, DESERIALFUNC = pellory_learn_deserialize,
  PARALLEL = SAFE);
CREATE AGGREGATE pellory_learn(text, int4, int4[], float8[]) (
  SFUNC = pellory_learn_step, STYPE = internal,
  FINALFUNC = pellory_learn_final,
  COMBINEFUNC = pellory_learn_combine,
  SERIALFUNC = pellory_learn_serialize, DESERIALFUNC = pellory_learn_deserialize,
  PARALLEL = SAFE);
CREATE AGGREGATE pellory_learn(text, int4, int4[], float8[], text) (
  SFUNC = pellory_learn_step, STYPE = internal,
  FINALFUNC = pellory_learn_final,
  COMBINEFUNC = pellory_learn_combine,
  SERIALFUNC = pellory_learn_serialize, DESERIALFUNC = pellory_learn_deserialize,
  PARALLEL = SAFE);

-- The guessed class of a row (a class name, or 'Reject'), and every class's
-- response in the model's class order. The model is read on the first row
-- and kept while the following rows pass the same one.
CREATE FUNCTION pellory_classify(model bytea, discrete int4[], floats float8[])
RETURNS text AS 'MODULE_PATHNAME' LANGUAGE C STRICT IMMUTABLE PARALLEL SAFE;
CREATE FUNCTION pellory_responses(model bytea, discrete int4[], floats float8[])
RETURNS float8[] AS 'MODULE_PATHNAME' LANGUAGE C STRICT IMMUTABLE PARALLEL SAFE;
