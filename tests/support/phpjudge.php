<?php
// What PHP itself holds after including a language file, named as the editor names its phrases,
// so that tests can hold what quillmar-cli writes against PHP rather than against our own reader.
//
//   php [-d short_open_tag=1] phpjudge.php FILE [--define NAME[=VALUE]]...
//
// --define defines a constant before the include: the guard a file checks before it runs
// (BASEPATH, IN_APP, _VALID_MOS; true when no value is given) or a constant the application
// defines and the file uses (STORE_NAME=Example Shop). These constants are not the file's and are
// not printed. short_open_tag is a per-directory setting, so a file opened with "<?" needs it on
// the command line.
//
// Prints one JSON object, keys sorted by byte, one key per line:
//   NAME                     a constant the file defined (define or const), e.g. _JOINED
//   $name                    a variable the file set to a scalar other than null
//   $name['k1'][2]           each leaf of an array the file set; string keys in single quotes
//                            with \ and ' escaped by a backslash, integer keys as decimals
//   return, return['k']...   the value the file returned (a file without return gives PHP's 1,
//                            which is not printed)
// Variables the file set in $GLOBALS show as $name too. Each value is a JSON string when it is a
// UTF-8 string, {"base64": "..."} for a string of other bytes, and {"php": "..."} holding
// var_export's text for any other scalar (so that the string 'true' and true differ).
//
// Exits 1 with PHP's message on stderr when the include fails: a parse error, an error thrown,
// any warning, notice or deprecation (a language file that warns is broken on a real site), an
// exit or die inside the file, or bytes the file printed (they would break the page's headers).
// Exits 2 on a wrong command line.

function judge_usage(string $why): void
{
    fwrite(STDERR, "phpjudge: $why\nusage: php phpjudge.php FILE [--define NAME[=VALUE]]...\n");
    exit(2);
}

function judge_key_part($key): string
{
    if (is_int($key)) {
        return '[' . $key . ']';
    }
    return "['" . strtr($key, ['\\' => '\\\\', "'" => "\\'"]) . "']";
}

function judge_value($value)
{
    if (is_string($value)) {
        return preg_match('//u', $value) === 1 ? $value : ['base64' => base64_encode($value)];
    }
    return ['php' => var_export($value, true)];
}

// Every leaf below $value, named $name followed by its keys.
function judge_leaves(string $name, $value, array &$out, string $file): void
{
    if (is_array($value)) {
        foreach ($value as $key => $item) {
            judge_leaves($name . judge_key_part($key), $item, $out, $file);
        }
        return;
    }
    if ($value !== null && !is_scalar($value)) {
        fwrite(STDERR, "phpjudge: $file: $name holds a " . get_debug_type($value) .
            ", which is no text\n");
        exit(1);
    }
    $out[$name] = judge_value($value);
}

function judge_main(array $argv): void
{
    $file = null;
    $given = [];
    for ($i = 1; $i < count($argv); ++$i) {
        if ($argv[$i] === '--define') {
            if (!isset($argv[$i + 1])) {
                judge_usage('--define needs a NAME');
            }
            $given[] = $argv[++$i];
        } elseif ($file === null) {
            $file = $argv[$i];
        } else {
            judge_usage("one FILE only, got '$argv[$i]' too");
        }
    }
    if ($file === null) {
        judge_usage('no FILE');
    }
    if (!is_file($file) || !is_readable($file)) {
        fwrite(STDERR, "phpjudge: $file: cannot be read\n");
        exit(1);
    }
    foreach ($given as $definition) {
        $parts = explode('=', $definition, 2);
        define($parts[0], $parts[1] ?? true);
    }

    ini_set('display_errors', 'stderr');
    ini_set('log_errors', '0');
    error_reporting(E_ALL);
    set_error_handler(function (int $level, string $message, string $where, int $line): bool {
        throw new ErrorException($message, 0, $level, $where, $line);
    });

    $constantsBefore = get_defined_constants(true)['user'] ?? [];
    $globalsBefore = array_flip(array_keys($GLOBALS));
    $finished = false;
    // exit or die inside the file ends PHP without coming back here.
    register_shutdown_function(function () use (&$finished, $file): void {
        if (!$finished) {
            $printed = ob_get_level() > 0 ? ob_get_clean() : '';
            fwrite(STDERR, "phpjudge: $file: the file stopped PHP (exit, die or a fatal error)" .
                ($printed !== '' ? ', printing ' . json_encode($printed, JSON_INVALID_UTF8_SUBSTITUTE) : '') .
                "\n");
            exit(1);
        }
    });

    ob_start();
    try {
        // A scope of its own, as when an application includes the file inside a function: every
        // variable found there afterwards is the file's. The include runs before
        // get_defined_vars() looks, and the closure has no variable of its own.
        [$returned, $variables] = (static function () {
            return [include func_get_arg(0), get_defined_vars()];
        })($file);
    } catch (Throwable $e) {
        $finished = true;
        ob_end_clean();
        fwrite(STDERR, "phpjudge: $file: " . get_class($e) . ': ' . $e->getMessage() . ' in ' .
            $e->getFile() . ' on line ' . $e->getLine() . "\n");
        exit(1);
    }
    $printed = ob_get_clean();
    $finished = true;
    if ($printed !== '') {
        fwrite(STDERR, "phpjudge: $file: the file printed " . strlen($printed) . ' bytes: ' .
            json_encode($printed, JSON_INVALID_UTF8_SUBSTITUTE | JSON_UNESCAPED_UNICODE) . "\n");
        exit(1);
    }

    $out = [];
    foreach (get_defined_constants(true)['user'] ?? [] as $name => $value) {
        if (!array_key_exists($name, $constantsBefore)) {
            judge_leaves($name, $value, $out, $file);
        }
    }
    $setGlobals = [];
    foreach (array_keys($GLOBALS) as $name) {
        if (!isset($globalsBefore[$name])) {
            $setGlobals[$name] = $GLOBALS[$name];
        }
    }
    foreach ($setGlobals + $variables as $name => $value) {
        // "global $x;" in the file makes both the same variable; two different ones would be
        // two texts under one name.
        if (array_key_exists($name, $setGlobals) && array_key_exists($name, $variables) &&
            $setGlobals[$name] !== $variables[$name]) {
            fwrite(STDERR, "phpjudge: $file: \$$name is set both in \$GLOBALS and in the file's " .
                "scope, to different values\n");
            exit(1);
        }
        // "global $x;" alone leaves $x null: PHP's isset() says no variable, and no text.
        if ($value !== null) {
            judge_leaves('$' . $name, $value, $out, $file);
        }
    }
    if ($returned !== 1 && $returned !== null) {
        judge_leaves('return', $returned, $out, $file);
    }

    ksort($out, SORT_STRING);
    $json = json_encode($out, JSON_PRETTY_PRINT | JSON_UNESCAPED_UNICODE | JSON_UNESCAPED_SLASHES |
        JSON_INVALID_UTF8_SUBSTITUTE | JSON_FORCE_OBJECT);
    echo $json, "\n";
}

judge_main($argv);
