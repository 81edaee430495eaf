<?php
/**
 * Fichier de langue : français
 * Traduction : Jeanne Lefèvre <jeanne@example.org>, 2021
 * Relecture : Marc Dubois
 */
defined('_VALID_MOS') or die('Direct access to this location is not allowed.');

define('_JOINED', 'Inscrit le');
@define('_LOGIN', 'Connexion');
\define('_LOGOUT', 'Déconnexion');
DEFINE('_SEARCH_BOX', 'rechercher…');
Define("_SAY_HI", "Dites « bonjour » à {name}");
define ( '_DISK_PATH' , 'Les fichiers sont dans C:\\temp\\' ) ;
define('_ITS', 'C\'est fait');
/* define('_OLD_LOGIN', 'Sign in'); */
/*
define('_RETIRED', 'Retired');
define('_LOGIN', 'Sign in here');
*/
// define('_DRAFT', 'Draft');
# define('_HASHED', 'Hashed');
define('_NO_COMMENT', 'Commentaires /* désactivés */ ici'); // trailing // comment
define("_DOLLAR","Coûte 5 $");
?>
