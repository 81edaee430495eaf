<?php
// English texts of the forum module. Every text is guarded so that a site may define its own
// wording before this file is read.
if (!defined('IN_APP')) {
    exit;
}

if (!defined('_FORUM_TITLE')) define('_FORUM_TITLE', 'Forum');
if (!defined('_FORUM_NEW_TOPIC')) { define('_FORUM_NEW_TOPIC', 'New topic'); }
if (!defined('_FORUM_REPLY')) {
    define('_FORUM_REPLY', 'Reply');
}
if ( ! defined( "_FORUM_QUOTE" ) ) define( "_FORUM_QUOTE", "Quote" );
defined('_FORUM_LOCKED') or define('_FORUM_LOCKED', 'This topic is locked');
defined('_FORUM_MOVED') || define('_FORUM_MOVED', 'Moved');
// Added twice by two releases; the first one read is the one that counts.
if (!defined('_FORUM_POSTS')) define('_FORUM_POSTS', 'Posts');
if (!defined('_FORUM_POSTS')) define('_FORUM_POSTS', 'Messages');
if (!defined('_FORUM_LAST_POST')) {
    if (!defined('_FORUM_LAST_POST')) {
        define('_FORUM_LAST_POST', 'Last post');
    }
}
if (!defined('_FORUM_VIEWS')) define('_FORUM_VIEWS', 'Views'); if (!defined('_FORUM_AUTHOR')) define('_FORUM_AUTHOR', 'Author');
