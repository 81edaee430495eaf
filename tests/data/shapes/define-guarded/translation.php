<?php
// Deutsche Texte des Forum-Moduls.
// Übersetzt von Klaus Berger, ergänzt 2020.
if (!defined('IN_APP')) {
    exit;
}

if (!defined('_FORUM_TITLE')) define('_FORUM_TITLE', 'Forum');
if (!defined('_FORUM_NEW_TOPIC')) { define('_FORUM_NEW_TOPIC', 'Neues Thema'); }
if (!defined('_FORUM_REPLY')) {
    define('_FORUM_REPLY', 'Antworten');
}
defined('_FORUM_LOCKED') or define('_FORUM_LOCKED', 'Dieses Thema ist gesperrt');
if (!defined('_FORUM_POSTS')) define('_FORUM_POSTS', 'Beiträge');
if (!defined('_FORUM_POSTS')) define('_FORUM_POSTS', 'Nachrichten');
if (!defined('_FORUM_VIEWS')) define('_FORUM_VIEWS', 'Aufrufe'); if (!defined('_FORUM_AUTHOR')) define('_FORUM_AUTHOR', 'Verfasser');
